// Form bodies for "application/x-www-form-urlencoded" posts.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

namespace net {

// Ordered key=value pairs, sent in the order given.
using Form = QList<QPair<QString, QString>>;

// Percent-encodes each value from its GBK bytes; keys are sent as given (they are ASCII).
QByteArray encodeForm(const Form& form);

// The inverse, used by the sandbox and by tests: '+' is a blank, %XX a byte, bytes read as GBK.
Form decodeForm(const QByteArray& body);

} // namespace net
