// How the companion server's text pages frame their payload, and the online-user count.
#pragma once

#include <QString>
#include <QStringView>
#include <optional>

namespace app {

// The end of a text page's body tag; the payload follows it.
inline constexpr char16_t kPayloadMarker[] = u"text=\"#000000\">";

// The text between the first payload marker and the next "</body>"; empty when either is missing.
QString framedPayload(QStringView page);

// The online-user count of "/gpreadall.asp": the text after the last payload marker before the
// first "</body>" (from the start when there is no marker), blanks removed. Nothing when the
// reply has no "</body>" at all: the label then keeps its count.
std::optional<QString> onlineCount(QStringView page);

} // namespace app
