// Text conversions between the pages' byte encodings and QString. Invalid bytes become U+FFFD;
// characters GBK cannot hold become '?'. Nothing here throws.
#pragma once

#include <QByteArray>
#include <QString>

namespace net {

QString fromGbk(const QByteArray& bytes);
QByteArray toGbk(const QString& text);
QString fromUtf8(const QByteArray& bytes);

} // namespace net
