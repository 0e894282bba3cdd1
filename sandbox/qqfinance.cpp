#include "qqfinance.h"

#include "newsflash.h"

#include <QRegularExpression>

namespace sandbox::qqfinance {

using namespace feed;

namespace {
const QRegularExpression& dayPattern()
{
    static const QRegularExpression pattern(QStringLiteral("^/a/(\\d{8})/(index\\.htm)?$"));
    return pattern;
}
} // namespace

bool isDayPath(const QString& path)
{
    return dayPattern().match(path).hasMatch();
}

std::optional<QString> dayPage(const Market& market, const QString& baseUrl, const QString& path, const QDateTime& t)
{
    const QRegularExpressionMatch m = dayPattern().match(path);
    if (!m.hasMatch())
        return std::nullopt;
    const QDate day = QDate::fromString(m.captured(1), QStringLiteral("yyyyMMdd"));
    if (!day.isValid() || day > t.date())
        return std::nullopt;
    QString list;
    for (const newsflash::Item& item : newsflash::itemsOfDay(market, day))
        if (item.time <= t)
            list += QStringLiteral("<li><a href=\"%1%2\" target=\"_blank\">%3</a> <span>%4</span></li>\r\n")
                        .arg(baseUrl, newsflash::articlePath(item), item.headline.toHtmlEscaped(),
                             item.time.toString(QStringLiteral("hh:mm")));
    const QString title = day.toString(QStringLiteral("yyyy年M月d日")) + QStringLiteral("财经要闻");
    return QStringLiteral("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">"
                          "<title>%1_腾讯财经</title></head><body><h1>%1</h1><ul>\r\n%2</ul></body></html>")
        .arg(title, list);
}

} // namespace sandbox::qqfinance
