// Stock codes are six decimal digits and phone numbers eleven. Whatever a box or a file holds is
// checked again where a code or number is sent or stored.
#pragma once

#include <QStringView>

namespace app {

inline bool allDigits(QStringView text, qsizetype length)
{
    if (text.size() != length)
        return false;
    for (QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

inline bool isStockCode(QStringView text) { return allDigits(text, 6); }
inline bool isPhoneNumber(QStringView text) { return allDigits(text, 11); }

} // namespace app
