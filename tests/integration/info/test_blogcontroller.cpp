// The blog search and the news flash against the in-process sandbox.
#include "appfixture.h"
#include "blogs.h"
#include "market.h"
#include "core/guard.h"
#include "info/blogcontroller.h"
#include "net/codecs.h"
#include "net/httpclient.h"
#include "widgets/widgets.h"

#include <QComboBox>
#include <QLabel>
#include <QTimer>

using info::BlogController;
using info::BlogNotice;

namespace {

QByteArray framed(const QString& payload)
{
    return net::toGbk(QStringLiteral("<html><body text=\"#000000\">") + payload + QStringLiteral("</body></html>"));
}

QByteArray newsPage(const QString& link, const QString& headline)
{
    return net::toGbk(QStringLiteral("<ul><li><span>12-09 10:30</span><a href=\"%1\" title=\"%2\" target=\"_blank\">%2</a></li></ul>")
                          .arg(link, headline));
}

struct Rig {
    AppFixture fx;
    app::AppState& state = fx.context->state;
    QWidget parent;
    net::HttpClient IdHTTP3{QStringLiteral("IdHTTP3")};
    QTimer Timer5;
    QStringList statusTexts;
    QList<BlogNotice> notices;
    bool inSight = true;
    std::unique_ptr<BlogController> blogs;

    Rig()
    {
        state.ServerBase = fx.box->baseUrl();
        state.CurrentCode = QStringLiteral("600000");
        state.CurrentName = QStringLiteral("浦发银行");
        Timer5.setInterval(30000);
        BlogController::Hooks hooks;
        hooks.showSearchState = [this](const QString& text) { statusTexts << text; };
        hooks.mainWindowInSight = [this] { return inSight; };
        hooks.raiseNotice = [this](const BlogNotice& n) { notices << n; };
        blogs = std::make_unique<BlogController>(state, fx.context->settings, fx.clock, fx.prompter, fx.opener,
                                                 IdHTTP3, hooks, &parent);
        blogs->IdHTTP4().setReadTimeout(500);
    }
    QString base() const { return fx.box->baseUrl(); }
    // A directory of the given blogs; their pages are fixed to `pages` (GBK unless the body is
    // marked UTF-8 by the caller through setFixedPage).
    void directory(const QList<QPair<QString, QString>>& blogs)
    {
        QString payload = base() + QStringLiteral("/today.html*x|");
        for (const auto& [path, name] : blogs)
            payload += (path.startsWith(u'/') ? base() + path : path) + u'*' + name + u'|';
        fx.box->setFixedPage(QStringLiteral("/gpreadtoady1.asp"), framed(payload));
        this->blogs->loadDirectory();
    }
    void tick() { blogs->Timer5Timer(Timer5); }
    QStringList items() const
    {
        QStringList out;
        for (int i = 0; i < blogs->ComboBox2()->count(); ++i)
            out << blogs->ComboBox2()->itemText(i);
        return out;
    }
    // Which of Image9, Image10, Image12 shows.
    QString picture() const
    {
        if (!blogs->Image9()->isHidden())
            return QStringLiteral("Image9");
        if (!blogs->Image10()->isHidden())
            return QStringLiteral("Image10");
        return blogs->Image12()->isHidden() ? QString() : QStringLiteral("Image12");
    }
};

} // namespace

class TestBlogController : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // One pass over the sandbox's blogs marks exactly the blogs that mention the stock at that
    // moment; Label41 names the last of them.
    void searchWalksTheSandboxDirectory()
    {
        Rig rig;
        feed::Market& market = rig.fx.box->market();
        const QDateTime now = rig.fx.box->now();
        QString code;
        for (const QString& candidate : market.codes())
            for (int i = 0; i < 12 && code.isEmpty(); ++i)
                if (sandbox::blogs::mentionedCodes(market, i, now).contains(candidate))
                    code = candidate;
        rig.state.CurrentCode = code;
        rig.state.CurrentName = market.nameOf(code);
        rig.blogs->loadDirectory();
        for (int i = 0; i < 12; ++i)
            rig.tick();   // the first also reads the news flash
        QCOMPARE(rig.blogs->cursor(), 12);
        QCOMPARE(rig.fx.requestCount(QStringLiteral("/news/cgszb.html")), 1);
        QCOMPARE(rig.statusTexts.last(), QStringLiteral("正在搜索:《实盘记录本》"));
        QStringList expected;
        QString last;
        for (int i = 0; i < 12; ++i) {
            const bool found = sandbox::blogs::mentionedCodes(market, i, now).contains(code);
            expected << rig.blogs->names()[i] + (found ? QStringLiteral("【找到】") : QStringLiteral("(未找到)"));
            if (found)
                last = rig.blogs->names()[i];
        }
        QCOMPARE(rig.items(), expected);
        QCOMPARE(rig.blogs->Label41()->text(), QStringLiteral("《") + last + QStringLiteral("》提及该股"));
        QCOMPARE(rig.picture(), QStringLiteral("Image10"));
        QVERIFY(rig.Timer5.isActive());
    }

    void emptyDirectoryOnlyResetsTheCursor()
    {
        Rig rig;
        rig.directory({});
        for (int i = 0; i < 3; ++i)
            rig.tick();
        QCOMPARE(rig.blogs->cursor(), 0);
        QCOMPARE(rig.blogs->tickCount(), 3);
        QVERIFY(rig.statusTexts.isEmpty());
        QCOMPARE(rig.items(), QStringList());
    }

    // After the last blog a tick fetches nothing and wraps; the next one reads the first blog.
    // A page naming only the code counts, and so does a UTF-8 page naming the stock.
    void cursorWrapsAndBothReadingsFind()
    {
        Rig rig;
        rig.fx.box->setFixedPage(QStringLiteral("/b1.html"), "<p>today: 600000 up</p>");
        rig.fx.box->setFixedPage(QStringLiteral("/b2.html"), QStringLiteral("<p>浦发银行</p>").toUtf8(),
                                 "text/html; charset=utf-8");
        rig.directory({{"/b1.html", QStringLiteral("博客一")}, {"/b2.html", QStringLiteral("博客二")}});
        rig.tick();
        QCOMPARE(rig.items(), (QStringList{QStringLiteral("博客一【找到】"), QStringLiteral("博客二(未找到)")}));
        QCOMPARE(rig.picture(), QStringLiteral("Image10"));
        rig.tick();
        QCOMPARE(rig.items()[1], QStringLiteral("博客二【找到】"));
        QCOMPARE(rig.blogs->Label41()->text(), QStringLiteral("《博客二》提及该股"));
        QCOMPARE(rig.blogs->cursor(), 2);
        rig.tick();   // nothing fetched, back to the start
        QCOMPARE(rig.blogs->cursor(), 0);
        QCOMPARE(rig.fx.requestCount(QStringLiteral("/b1.html")) + rig.fx.requestCount(QStringLiteral("/b2.html")), 2);
        rig.tick();
        QCOMPARE(rig.fx.requestCount(QStringLiteral("/b1.html")), 2);
        QCOMPARE(rig.statusTexts, (QStringList{QStringLiteral("正在搜索:《博客一》"), QStringLiteral("正在搜索:《博客二》"),
                                               QStringLiteral("正在搜索:《博客一》")}));
    }

    // The news flash: shown on the first counted tick, the same item later changes nothing even
    // after the click put the plain icon back, a new item shows again on the twentieth tick.
    void newsFlashOnTheFirstAndEveryTwentiethTick()
    {
        Rig rig;
        rig.directory({});
        const QString link = rig.base() + QStringLiteral("/news/1406,1.html");
        rig.fx.box->setFixedPage(QStringLiteral("/news/cgszb.html"), newsPage(link, QStringLiteral("沪指<b>震荡</b>")));
        rig.tick();
        const QString caption = QStringLiteral("快讯(10:00:00)沪指<b>震荡</b>");
        QCOMPARE(rig.blogs->Label48()->text(), caption);
        QCOMPARE(rig.blogs->Label48()->textFormat(), Qt::PlainText);
        QVERIFY(!rig.blogs->Image19()->isHidden());
        QVERIFY(rig.blogs->Image1()->isHidden());
        rig.blogs->Label48Click();
        QCOMPARE(rig.fx.opener.opened, QStringList{link});
        QVERIFY(rig.blogs->Image19()->isHidden());

        rig.fx.clock.advance(600);
        for (int i = 1; i <= 20; ++i)
            rig.tick();
        QCOMPARE(rig.fx.requestCount(QStringLiteral("/news/cgszb.html")), 2);
        QCOMPARE(rig.blogs->Label48()->text(), caption);
        QVERIFY(rig.blogs->Image19()->isHidden());

        rig.fx.box->setFixedPage(QStringLiteral("/news/cgszb.html"),
                                 newsPage(rig.base() + QStringLiteral("/news/1406,2.html"), QStringLiteral("新消息")));
        for (int i = 0; i < 20; ++i)
            rig.tick();
        QCOMPARE(rig.blogs->Label48()->text(), QStringLiteral("快讯(10:10:00)新消息"));
        QVERIFY(!rig.blogs->Image19()->isHidden());
    }

    void hiddenToTrayReadsNewsButNoBlog()
    {
        Rig rig;
        rig.fx.box->setFixedPage(QStringLiteral("/b1.html"), "600000");
        rig.directory({{"/b1.html", QStringLiteral("博客一")}});
        rig.state.HiddenInTray = true;
        rig.tick();
        rig.tick();
        QCOMPARE(rig.fx.requestCount(QStringLiteral("/news/cgszb.html")), 1);
        QCOMPARE(rig.fx.requestCount(QStringLiteral("/b1.html")), 0);
        QCOMPARE(rig.blogs->cursor(), 0);
        QCOMPARE(rig.blogs->tickCount(), 2);
    }

    void noStockNameNothingCounted()
    {
        Rig rig;
        rig.directory({{"/b1.html", QStringLiteral("博客一")}});
        rig.state.CurrentName.clear();
        rig.tick();
        QCOMPARE(rig.blogs->tickCount(), 0);
        QCOMPARE(rig.fx.requestCount(QStringLiteral("/news/cgszb.html")), 0);
        QVERIFY(!rig.Timer5.isActive());   // left as it was
    }

    // A blog that fails, answers nothing within the client's bound, or is not a web address:
    // the tick ends quietly, the counter and the cursor move on, the timer runs again.
    void failingBlogsAdvanceCounterAndCursor()
    {
        Rig rig;
        rig.fx.box->setSilent(QStringLiteral("/hung.html"));
        rig.fx.box->setFixedPage(QStringLiteral("/b3.html"), "600000");
        rig.directory({{"/missing.html", QStringLiteral("坏博客")}, {"/hung.html", QStringLiteral("不回应")},
                       {"file:///etc/passwd", QStringLiteral("本地")}, {"/b3.html", QStringLiteral("好博客")}});
        rig.tick();   // news, then a 404
        QCOMPARE(rig.blogs->tickCount(), 2);
        QCOMPARE(rig.blogs->cursor(), 1);
        QVERIFY(rig.Timer5.isActive());
        rig.tick();   // no answer: ends at the read bound
        QCOMPARE(rig.blogs->tickCount(), 4);
        QCOMPARE(rig.blogs->cursor(), 2);
        rig.tick();   // not fetched, not found
        QCOMPARE(rig.blogs->cursor(), 3);
        rig.tick();
        QCOMPARE(rig.items().last(), QStringLiteral("好博客【找到】"));
        QVERIFY(rig.fx.prompter.boxes.isEmpty());
    }

    // Out of sight, an unseen mention raises the notice once and counts as seen; in sight the
    // drop-down alone tells.
    void noticeOnlyOutOfSight()
    {
        Rig rig;
        rig.fx.box->setFixedPage(QStringLiteral("/b1.html"), net::toGbk(QStringLiteral("浦发银行")));
        rig.directory({{"/b1.html", QStringLiteral("博客一")}});
        rig.tick();
        QVERIFY(rig.notices.isEmpty());
        QCOMPARE(rig.blogs->seenFlags(), QStringList{"0"});

        rig.inSight = false;
        rig.tick();   // wraps
        rig.tick();
        QCOMPARE(rig.notices.size(), 1);
        QCOMPARE(rig.notices[0].line1, QStringLiteral("您的股票:浦发银行(600000)"));
        QCOMPARE(rig.notices[0].line2, QStringLiteral("在《博客一》被提及,点击查看!"));
        QCOMPARE(rig.notices[0].link, rig.base() + QStringLiteral("/b1.html"));
        QCOMPARE(rig.notices[0].blogIndex, 0);
        QCOMPARE(rig.blogs->seenFlags(), QStringList{"1"});
        rig.tick();
        rig.tick();
        QCOMPARE(rig.notices.size(), 1);
        QCOMPARE(rig.picture(), QStringLiteral("Image12"));
    }

    // Opening a blog from the drop-down counts its mention as seen; a new stock resets the
    // display but not the cursor.
    void openingAndReset()
    {
        Rig rig;
        rig.fx.box->setFixedPage(QStringLiteral("/b1.html"), "600000");
        rig.directory({{"/b1.html", QStringLiteral("博客一")}, {"ftp://x/b2", QStringLiteral("博客二")}});
        rig.tick();
        rig.blogs->ComboBox2Change(1);   // refused address: nothing changes
        QCOMPARE(rig.blogs->seenFlags(), (QStringList{"0", "0"}));
        rig.blogs->ComboBox2Change(0);
        QCOMPARE(rig.fx.opener.opened, QStringList{rig.base() + QStringLiteral("/b1.html")});
        QCOMPARE(rig.blogs->seenFlags(), (QStringList{"1", "0"}));
        QCOMPARE(rig.picture(), QStringLiteral("Image12"));

        rig.blogs->resetDisplay();
        QCOMPARE(rig.items(), (QStringList{QStringLiteral("博客一(未找到)"), QStringLiteral("博客二(未找到)")}));
        QCOMPARE(rig.blogs->seenFlags(), (QStringList{"0", "0"}));
        QCOMPARE(rig.picture(), QStringLiteral("Image9"));
        QCOMPARE(rig.blogs->Label41()->text(), QStringLiteral("目前没有发现任何博客提及该股"));
        QCOMPARE(rig.blogs->cursor(), 1);
        QCOMPARE(rig.blogs->tickCount(), 1);
    }

    // A code change while a blog page is on its way: the page was read for the old stock and
    // marks nothing; the cursor still moves on.
    void codeChangeDuringTheWaitMarksNothing()
    {
        Rig rig;
        rig.fx.box->setFixedPage(QStringLiteral("/b1.html"), "600000");
        rig.directory({{"/b1.html", QStringLiteral("博客一")}, {"/b1.html", QStringLiteral("博客二")}});
        rig.tick();
        QTimer::singleShot(0, &rig.parent, [&] { ++rig.state.StockGeneration; });
        rig.tick();
        QCOMPARE(rig.items()[1], QStringLiteral("博客二(未找到)"));
        QCOMPARE(rig.blogs->Label41()->text(), QStringLiteral("《博客一》提及该股"));
        QCOMPARE(rig.blogs->cursor(), 2);
    }

    void failedDirectoryLoadAbortsAndLeavesItEmpty()
    {
        Rig rig;
        rig.fx.box->setFixedPage(QStringLiteral("/gpreadtoady1.asp"), "", "text/html", 500);
        QVERIFY(!app::guarded(rig.fx.prompter, [&] { rig.blogs->loadDirectory(); }));
        QVERIFY(rig.blogs->addresses().isEmpty());
        QVERIFY(rig.fx.prompter.boxes.isEmpty());
    }
};

QTEST_MAIN(TestBlogController)
#include "test_blogcontroller.moc"
