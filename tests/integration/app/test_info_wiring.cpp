// The blog search, the news flash and the companion information pages as the main window runs
// them: at the first show, on its Timer5, on a code change, and the notice window.
#include "app/mainwindow.h"
#include "app/windowset.h"
#include "appfixture.h"
#include "info/blogcontroller.h"
#include "info/companioncontroller.h"
#include "net/codecs.h"
#include "widgets/widgets.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

namespace {

QStringList itemsOf(const QWidget& w, const char* name)
{
    QStringList out;
    const auto* combo = w.findChild<QComboBox*>(QString::fromLatin1(name));
    for (int i = 0; combo && i < combo->count(); ++i)
        out << combo->itemText(i);
    return out;
}

// A directory of one blog whose page names the stock.
void oneMentioningBlog(AppFixture& f)
{
    const QString base = f.box->baseUrl();
    f.box->setFixedPage(QStringLiteral("/gpreadtoady1.asp"),
                        net::toGbk(QStringLiteral("<body text=\"#000000\">%1/today.html*x|%1/b1.html*博客一|</body>").arg(base)));
    f.box->setFixedPage(QStringLiteral("/b1.html"), "<p>000001</p>");
}

} // namespace

class TestInfoWiring : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The first show reads the evaluations, then the directory, then the online count.
    void firstShowReadsInOrder()
    {
        AppFixture f;
        app::WindowSet windows(*f.context);
        QVERIFY(windows.startUp());
        app::MainWindow& w = windows.main();
        QCOMPARE(itemsOf(w, "ComboBox1").size(), 6);
        QCOMPARE(itemsOf(w, "ComboBox2").size(), 12);
        QVERIFY(itemsOf(w, "ComboBox2").first().endsWith(QStringLiteral("(未找到)")));
        QVERIFY(w.companionPages().siteAddresses().first().contains(QStringLiteral("/sz000001")));
        QCOMPARE(w.findChild<QLabel*>("Label31")->text(), QStringLiteral("今日重大信息"));
        QCOMPARE(w.findChild<QLabel*>("Label32")->text(), QStringLiteral("昨日财经要闻"));
        QStringList order;
        for (const sandbox::LoggedRequest& r : f.box->requests())
            if (r.path.startsWith(QStringLiteral("/gpread")) || r.path == QStringLiteral("/gpall.asp"))
                order << r.path;
        QCOMPARE(order, (QStringList{"/gpreadzhpj.asp", "/gpreadtoady1.asp", "/gpall.asp", "/gpreadall.asp"}));
        QVERIFY(w.findChild<QTimer*>("Timer5")->isActive());

        f.box->setFixedPage(QStringLiteral("/gpreadall.asp"), "<body text=\"#000000\">42</body>");
        w.companionPages().Label11()->clicked();
        QCOMPARE(w.findChild<QLabel*>("Label20")->text(), QStringLiteral("42"));
    }

    // The main window's Timer5 runs the search: status-bar panel 2 and the drop-down follow.
    void timer5SearchesAndCodeChangeResets()
    {
        AppFixture f;
        oneMentioningBlog(f);
        app::WindowSet windows(*f.context);
        QVERIFY(windows.startUp());
        app::MainWindow& w = windows.main();
        QTimer* timer5 = w.findChild<QTimer*>("Timer5");
        timer5->setInterval(10);
        QTRY_COMPARE(w.statusPanel(2)->text(), QStringLiteral("正在搜索:《博客一》"));
        QTRY_COMPARE(itemsOf(w, "ComboBox2"), QStringList{QStringLiteral("博客一【找到】")});
        timer5->stop();
        QCOMPARE(w.findChild<QLabel*>("Label41")->text(), QStringLiteral("《博客一》提及该股"));

        const int reads = f.requestCount(QStringLiteral("/gpreadzhpj.asp"));
        w.findChild<QLineEdit*>("Edit1")->setText(QStringLiteral("600000"));
        w.ChangeStock();
        QCOMPARE(f.requestCount(QStringLiteral("/gpreadzhpj.asp")), reads + 1);
        QVERIFY(w.companionPages().siteAddresses().first().contains(QStringLiteral("/sh600000")));
        QCOMPARE(itemsOf(w, "ComboBox2"), QStringList{QStringLiteral("博客一(未找到)")});
        QCOMPARE(w.findChild<QLabel*>("Label41")->text(), QStringLiteral("目前没有发现任何博客提及该股"));
    }

    // Out of sight, a new mention raises TForm11; its link opens the blog and counts it seen.
    void noticeWhileOutOfSight()
    {
        AppFixture f;
        oneMentioningBlog(f);
        app::WindowSet windows(*f.context);
        QVERIFY(windows.startUp());
        app::MainWindow& w = windows.main();
        w.hide();
        w.blogs().Timer5Timer(*w.blogTimer());
        alerts::BlogNoticeWindow& notice = windows.blogNotice();
        QVERIFY(notice.isVisible());
        QCOMPARE(notice.findChild<QLabel*>("Label1")->text(), QStringLiteral("您的股票:平安银行(000001)"));
        QCOMPARE(notice.findChild<QLabel*>("Label2")->text(), QStringLiteral("在《博客一》被提及,点击查看!"));
        for (const char* line : {"Label1", "Label2"})
            QCOMPARE(notice.findChild<QLabel*>(line)->textFormat(), Qt::PlainText);
        QCOMPARE(w.blogs().seenFlags(), QStringList{"1"});
        notice.Label2Click();
        QCOMPARE(f.opener.opened.last(), f.box->baseUrl() + QStringLiteral("/b1.html"));
        QVERIFY(!notice.isVisible());
    }
};

QTEST_MAIN(TestInfoWiring)
#include "test_info_wiring.moc"
