// Helpers for the position-by-position page scanners.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace net {

// Does `marker` start at 0-based index `i` of `text`? False when it would run past the end.
// The scanners ask this at every position, so the first character is compared before the rest.
inline bool at(QStringView text, qsizetype i, QStringView marker)
{
    if (i < 0 || i + marker.size() > text.size())
        return false;
    return marker.isEmpty() || (text[i] == marker[0] && text.sliced(i, marker.size()) == marker);
}

// Removes leading and trailing blanks and control characters (everything up to U+0020).
inline QString trimBlanks(QStringView text)
{
    qsizetype b = 0, e = text.size();
    while (b < e && text[b].unicode() <= 0x20)
        ++b;
    while (e > b && text[e - 1].unicode() <= 0x20)
        --e;
    return text.mid(b, e - b).toString();
}

// The same two for pages scanned as bytes.
inline bool at(QByteArrayView bytes, qsizetype i, QByteArrayView marker)
{
    return i >= 0 && i + marker.size() <= bytes.size() && !marker.isEmpty() && bytes[i] == marker[0]
           && bytes.sliced(i, marker.size()) == marker;
}

// Returns a view into `bytes`, which must outlive it.
inline QByteArrayView trimBlanks(QByteArrayView bytes)
{
    qsizetype b = 0, e = bytes.size();
    while (b < e && quint8(bytes[b]) <= 0x20)
        ++b;
    while (e > b && quint8(bytes[e - 1]) <= 0x20)
        --e;
    return bytes.sliced(b, e - b);
}

} // namespace net
