#include "net/codecs.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace net {

QString fromGbk(const QByteArray& bytes)
{
    QStringDecoder decoder("GBK", QStringDecoder::Flag::Stateless);
    if (!decoder.isValid())   // no ICU: fall back to Latin-1 rather than lose the text
        return QString::fromLatin1(bytes);
    return decoder.decode(bytes);
}

QByteArray toGbk(const QString& text)
{
    QStringEncoder encoder("GBK", QStringEncoder::Flag::Stateless);
    if (!encoder.isValid())
        return text.toLatin1();
    return encoder.encode(text);
}

QString fromUtf8(const QByteArray& bytes)
{
    return QString::fromUtf8(bytes);
}

} // namespace net
