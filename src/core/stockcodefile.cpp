#include "core/stockcodefile.h"

#include "net/codecs.h"

#include <QFile>
#include <QSaveFile>
#include <stdexcept>

namespace app {

std::optional<QString> readStockCodeFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.read(4096);
    qsizetype end = bytes.indexOf('\n');
    QByteArray line = end < 0 ? bytes : bytes.left(end);
    if (line.endsWith('\r'))
        line.chop(1);
    if (line.isEmpty())
        return std::nullopt;
    return net::fromGbk(line);
}

void writeStockCodeFile(const QString& path, const QString& code)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)
        || file.write(net::toGbk(code) + "\r\n") < 0 || !file.commit())
        throw std::runtime_error(
            QStringLiteral("无法写入文件 %1：%2").arg(path, file.errorString()).toStdString());
}

} // namespace app
