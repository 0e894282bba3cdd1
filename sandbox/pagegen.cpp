#include "pagegen.h"

namespace sandbox::pagegen {

namespace {

quint64 splitmix(quint64& state)
{
    quint64 z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

quint64 codeNumber(const QString& code)
{
    quint64 n = 1469598103934665603ull;
    for (QChar c : code)
        n = (n ^ c.unicode()) * 1099511628211ull;
    return n;
}

} // namespace

Draw::Draw(quint64 seed, const QString& code, const QDate& day, quint64 salt)
    : m_state(seed * 0x2545F4914F6CDD1Dull ^ codeNumber(code) ^ (quint64(day.toJulianDay()) << 20) ^ salt)
{
    splitmix(m_state);
}

quint64 Draw::next()
{
    return splitmix(m_state);
}

int stockTrait(quint64 seed, const QString& code, quint64 salt, int modulo)
{
    quint64 state = seed ^ codeNumber(code) ^ (salt * 0x9E3779B97F4A7C15ull);
    return int(splitmix(state) % quint64(modulo));
}

QString page(const QString& title, const QString& body)
{
    return QStringLiteral("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\">\r\n<html>"
                          "<head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">"
                          "<title>%1</title></head>\r\n<body>\r\n%2\r\n</body></html>")
        .arg(title, body);
}

QString isoDate(const QDate& date)
{
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

QString movedPage(const QString& title, const QString& address)
{
    return page(title, QStringLiteral("<meta http-equiv=\"refresh\" content=\"0;url=%1\">"
                                      "<p><a href=\"%1\">%1</a></p>").arg(address));
}

} // namespace sandbox::pagegen
