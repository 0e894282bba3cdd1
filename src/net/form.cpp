#include "net/form.h"

#include "net/codecs.h"

namespace net {

QByteArray encodeForm(const Form& form)
{
    QByteArray body;
    for (const auto& [key, value] : form) {
        if (!body.isEmpty())
            body += '&';
        body += key.toLatin1().toPercentEncoding();
        body += '=';
        body += toGbk(value).toPercentEncoding();
    }
    return body;
}

Form decodeForm(const QByteArray& body)
{
    Form form;
    if (body.isEmpty())
        return form;
    for (const QByteArray& pair : body.split('&')) {
        if (pair.isEmpty())
            continue;
        const qsizetype eq = pair.indexOf('=');
        QByteArray key = eq < 0 ? pair : pair.left(eq);
        QByteArray value = eq < 0 ? QByteArray() : pair.mid(eq + 1);
        key.replace('+', ' ');
        value.replace('+', ' ');
        form.append({fromGbk(QByteArray::fromPercentEncoding(key)),
                     fromGbk(QByteArray::fromPercentEncoding(value))});
    }
    return form;
}

} // namespace net
