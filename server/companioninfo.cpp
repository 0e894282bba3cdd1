#include "companioninfo.h"

#include "upstream.h"

namespace server::companioninfo {

QList<Blog> liveBlogs(const QString& sinaBlogBase)
{
    // Sina account numbers as public clients that follow these bloggers use them (a blog's number
    // is its owner's Sina account). The program reads one blog every 30 seconds, well below the
    // pace at which Sina starts answering 418.
    static constexpr struct { const char* uid; const char* name; } kLive[] = {
        {"1300871220", "徐小明"},
        {"1645823934", "李大霄"},
    };
    QList<Blog> out;
    for (const auto& blog : kLive)
        out.append({sinaBlogBase + feed::upstream::sinaBlogListPath(QString::fromLatin1(blog.uid)),
                    QString::fromUtf8(blog.name)});
    return out;
}

QList<EvaluationSite> liveEvaluationSites()
{
    static constexpr struct { const char* addressTemplate; const char* name; } kLive[] = {
        {"https://data.eastmoney.com/stockcomment/stock/{.html", "东方财富千股千评"},
        {"https://stockpage.10jqka.com.cn/{/", "同花顺个股"},
        {"https://xueqiu.com/k?q={", "雪球讨论"},
        {"https://finance.sina.com.cn/realstock/company/sh{/nc.shtml", "新浪财经个股"},
        {"https://www.cninfo.com.cn/new/fulltextSearch?notautosubmit=&keyWord={", "巨潮资讯公告"},
        {"https://stockdata.hexun.com/{.shtml", "和讯个股"},
    };
    QList<EvaluationSite> out;
    for (const auto& site : kLive)
        out.append({QString::fromLatin1(site.addressTemplate), QString::fromUtf8(site.name)});
    return out;
}

QString directoryPayload(const QString& todayLink, const QDateTime& t, const QList<Blog>& blogs)
{
    QString out = todayLink + u'*' + t.date().toString(Qt::ISODate) + QStringLiteral("|\r\n");
    for (const Blog& blog : blogs)
        out += blog.address + u'*' + blog.name + QStringLiteral("|\r\n");
    return out;
}

QString evaluationsPayload(const QList<EvaluationSite>& sites)
{
    QString out = QStringLiteral("\r\n");
    for (const EvaluationSite& site : sites)
        out += site.addressTemplate + u'*' + site.name + QStringLiteral("]\r\n");
    return out;
}

} // namespace server::companioninfo
