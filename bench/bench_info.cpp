// The information scanners on realistic and on runaway payloads: the forum topic list, the blog
// directory, the site-evaluation list, the mention test and the news-flash scan. Prints one line
// per figure.
#include "figure.h"
#include "info/blogsearch.h"
#include "info/companionpages.h"
#include "info/forum.h"
#include "info/newsflash.h"
#include "net/codecs.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

template <class F>
double medianMs(int runs, F&& body)
{
    std::vector<double> times;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer t;
        t.start();
        body();
        times.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

QByteArray framed(const QByteArray& payload)
{
    return "<html><body text=\"#000000\">" + payload + "</body></html>";
}

// A topic list of about `bytes` bytes in the layout the forum scanner reads.
QString forumPage(int bytes)
{
    QString page = QStringLiteral("<html><body><div class=\"head\">发表日期</div>");
    for (int i = 0; page.toUtf8().size() < bytes; ++i)
        page += QStringLiteral("<div class=\"articleh\"><ul><li class=l1>%1</li><li class=l2>%2</li>"
                               "<li class=l3><a href=\"news,600000,%3.html\" >浦发银行今天的走势大家怎么看？第%3帖</a></li>"
                               "<li class=l4><a href=\"http://x/u/%3\" target=\"_blank\">股海沉浮</a></li>"
                               "<li class=l5>12-09 10:%4</li><li class=l6>12-09 11:00</li></ul></div>\r\n")
                    .arg(1000 + i)
                    .arg(i % 50)
                    .arg(i)
                    .arg(i % 60, 2, 10, QLatin1Char('0'));
    return page;
}

} // namespace

int main()
{
    volatile qsizetype sink = 0;
    const qsizetype eightMiB = 8 << 20;

    const QString topics = forumPage(200 * 1024);
    const double topicBytes = double(topics.toUtf8().size());
    int posts = 0;
    const double forumMs = medianMs(9, [&] {
        posts = int(info::scanForumPage(topics, QStringLiteral("http://forum"), 2026).size());
    });
    std::printf("forum scanner: %.1f MB/s, %.2f ms per %.0f-byte page (%d posts; median of 9)\n",
                topicBytes / forumMs / 1e3, forumMs, topicBytes, posts);
    bench::figure("forum_parse_mb_s", topicBytes / forumMs / 1e3, "MB/s");

    QByteArray directory = "http://127.0.0.1:8780/gptodayinfo.html*2026-12-09|\r\n";
    for (int i = 0; i < 12; ++i)
        directory += "http://127.0.0.1:8780/blog/b" + QByteArray::number(i) + ".html*"
                     + net::toGbk(QStringLiteral("价值投资笔记")) + "|\r\n";
    directory = framed(directory);
    const int loads = 20000;
    const double dirMs = medianMs(5, [&] {
        for (int i = 0; i < loads; ++i)
            sink = sink + info::parseBlogDirectory(directory).names.size();
    });
    std::printf("blog directory, 12 blogs: %.1f us per parse\n", dirMs * 1000 / loads);
    bench::figure("blog_directory_us", dirMs * 1000 / loads, "us");

    const struct { const char* what; QByteArray payload; } runaways[] = {
        {"8 MiB of '*'", "L*X|" + QByteArray(eightMiB, '*')},
        {"8 MiB of '|'", "L*X|A*" + QByteArray(eightMiB, '|')},
        {"8 MiB of 'a*b|'", "L*X|" + QByteArray("a*b|").repeated(eightMiB / 4)},
    };
    for (const auto& r : runaways) {
        const QByteArray reply = framed(r.payload);
        std::printf("blog directory, %s: %.0f ms\n", r.what,
                    medianMs(5, [&] { sink = sink + info::parseBlogDirectory(reply).names.size(); }));
    }

    const QByteArray sites = framed("http://e/pj/hx/sh{.html*和讯]http://e/pj/qq/{.html*腾讯]"
                                    "http://e/pj/sina/q.php?s=sh{*新浪]");
    const double sitesMs = medianMs(5, [&] {
        for (int i = 0; i < loads; ++i)
            sink = sink + info::parseSiteEvaluations(sites, QStringLiteral("000001")).names.size();
    });
    std::printf("evaluation list, 3 sites: %.1f us per parse\n", sitesMs * 1000 / loads);
    const QByteArray garbage = framed(QByteArray("{{*{*{*]").repeated(eightMiB / 8));
    std::printf("evaluation list, 8 MiB of '{{*{*{*]': %.0f ms\n",
                medianMs(5, [&] { sink = sink + info::parseSiteEvaluations(garbage, "000001").names.size(); }));

    const QByteArray page = net::toGbk(QStringLiteral("<p>今日大盘震荡，关注银行板块。</p>").repeated(65536));
    const double mentionMs = medianMs(5, [&] { sink = sink + info::mentionsStock(page, QStringLiteral("浦发银行"), QStringLiteral("600000")); });
    std::printf("mention test, %.1f MiB page without a mention: %.0f ms (%.0f MB/s)\n", page.size() / 1048576.0,
                mentionMs, page.size() / 1e6 / (mentionMs / 1000));
    bench::figure("mention_test_mb_s", page.size() / 1e6 / (mentionMs / 1000), "MB/s");

    const QString news = QStringLiteral("<div>") + QString(100000, u'x')
                         + QStringLiteral("<li><span>12-09</span><a href=\"http://s/n/1.html\" title=\"头条\" target=\"_blank\">");
    const double newsMs = medianMs(5, [&] {
        for (int i = 0; i < 100; ++i)
            sink = sink + info::scanNewsFlash(news)->headline.size();
    });
    std::printf("news flash, item after 100 KB: %.2f ms per scan\n", newsMs / 100);
    return sink < 0;
}
