// The one-line stock commentary of the 千股千评 page.
#pragma once

#include <QString>
#include <QStringView>
#include <optional>

namespace info {

// Path and query of the commentary page of `code` on the company-data site.
QString commentaryPath(const QString& code);

// The opinion text: after the marker `"156">&nbsp;`, the text from the last `">` before the
// first "</font>" up to that "</font>", exactly as it stands. None when the page has no marker
// or no "</font>" after it.
std::optional<QString> scanCommentary(QStringView text);

} // namespace info
