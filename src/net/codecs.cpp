#include "net/codecs.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace net {

// Opening the GBK converter costs more than converting a whole page, so each thread keeps one.
// Stateless: a sequence cut at the end of one call is not carried into the next.
QString fromGbk(const QByteArray& bytes)
{
    thread_local QStringDecoder decoder("GBK", QStringDecoder::Flag::Stateless);
    if (!decoder.isValid())   // no ICU: fall back to Latin-1 rather than lose the text
        return QString::fromLatin1(bytes);
    return decoder.decode(bytes);
}

QByteArray toGbk(const QString& text)
{
    thread_local QStringEncoder encoder("GBK", QStringEncoder::Flag::Stateless);
    if (!encoder.isValid())
        return text.toLatin1();
    return encoder.encode(text);
}

QString fromUtf8(const QByteArray& bytes)
{
    return QString::fromUtf8(bytes);
}

} // namespace net
