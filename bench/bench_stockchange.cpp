// The stock change and the forum scanner.
// Stock change: from the click on the search picture to the end of `start`, whose last step fills
// the forum grid, for ten codes in turn, against an in-process sandbox (offscreen main window).
// Forum scanner: characters per second on a 200 KB topic page.
#include "sandbox.h"
#include "market.h"

#include "app/context.h"
#include "app/mainwindow.h"
#include "info/forum.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// No message boxes and no browser in a benchmark: both only count.
struct SilentPrompter : app::Prompter {
    int shown = 0;
    void error(const QString&, const QString&) override { ++shown; }
    void notice(const QString&, const QString&) override { ++shown; }
    bool question(const QString&, const QString&) override { ++shown; return true; }
};
struct NoBrowser : net::UrlOpener {
    void openWebAddress(const QUrl&) override {}
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

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

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication application(argc, argv);

    const QString page = forumPage(200 * 1024);
    std::vector<double> scans;
    int posts = 0;
    for (int r = 0; r < 9; ++r) {
        QElapsedTimer t;
        t.start();
        posts = int(info::scanForumPage(page, QStringLiteral("http://forum"), 2026).size());
        scans.push_back(t.nsecsElapsed() / 1e9);
    }
    std::printf("forum scanner: %.1f MB/s, %.2f ms per %lld-byte page (%d posts; median of 9)\n",
                page.toUtf8().size() / median(scans) / 1e6, median(scans) * 1e3,
                static_cast<long long>(page.toUtf8().size()), posts);

    QTemporaryDir dir;
    const QDateTime now(QDate(2026, 12, 9), QTime(10, 0));
    sandbox::Options options;
    options.port = 0;
    options.dataDir = dir.filePath("sandbox");
    options.clockStart = now;
    sandbox::Sandbox box(options);
    QString error;
    if (!box.start(&error)) {
        std::fprintf(stderr, "sandbox: %s\n", qPrintable(error));
        return 1;
    }
    app::Settings s;
    s.ServerBase = s.QuoteServiceBase = s.BigOrderBase = s.ForumBase = s.CommentaryBase = s.NoticeBase =
        s.CompanyPageBase = s.StockSiteBase = s.QqFinanceBase = s.ChatBase = box.baseUrl();
    s.SystemDir = dir.filePath("system");
    app::RunningClock clock(now);
    SilentPrompter prompter;
    NoBrowser browser;
    app::AppContext context(s, clock, prompter, browser);
    app::MainWindow window(context, nullptr);
    window.show();

    const QStringList codes = box.market().codes();
    auto* edit = window.findChild<QLineEdit*>(QStringLiteral("Edit1"));
    std::vector<double> changes;
    for (int i = 0; i < 10; ++i) {
        edit->setText(codes[(i * 7 + 1) % codes.size()]);
        QElapsedTimer t;
        t.start();
        window.ChangeStock();
        changes.push_back(t.nsecsElapsed() / 1e6);
    }
    const auto [lo, hi] = std::minmax_element(changes.begin(), changes.end());
    std::printf("stock change, click to the forum grid filled: %.1f ms median of 10 (%.1f..%.1f ms), "
                "%d message boxes\n",
                median(changes), *lo, *hi, prompter.shown);
    return 0;
}
