// The blog search, the news flash and the companion information pages as the main window runs
// them: at the first show, on its Timer5, on a code change, and the notice window.
#include "app/mainwindow.h"
#include "app/windowset.h"
#include "bigorder/bigordercontroller.h"
#include "bigorder/bigorderwindows.h"
#include "appfixture.h"
#include "info/blogcontroller.h"
#include "info/companioncontroller.h"
#include "net/codecs.h"
#include "widgets/widgets.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

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

    // The program's own pie window in front leaves the main window in sight: the drop-down tells
    // the user and no notice opens. Another program in front (no window of ours active) does.
    void noNoticeWhileAWindowOfTheProgramIsInFront()
    {
        AppFixture f;
        oneMentioningBlog(f);
        app::WindowSet windows(*f.context);
        QVERIFY(windows.startUp());
        app::MainWindow& w = windows.main();
        QWidget& pie = w.bigOrder().pieWindow();
        pie.show();
        pie.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&pie));
        w.blogs().Timer5Timer(*w.blogTimer());
        QCOMPARE(itemsOf(w, "ComboBox2"), QStringList{QStringLiteral("博客一【找到】")});
        QVERIFY(!windows.blogNotice().isVisible());
        QCOMPARE(w.blogs().seenFlags(), QStringList{"0"});

        pie.hide();
        QApplication::setActiveWindow(nullptr);
        QVERIFY(w.isVisible() && !QApplication::activeWindow());
        w.blogs().Timer5Timer(*w.blogTimer());   // past the last blog: a tick without a search
        w.blogs().Timer5Timer(*w.blogTimer());
        QVERIFY(windows.blogNotice().isVisible());
        QCOMPARE(w.blogs().seenFlags(), QStringList{"1"});
    }

    // A wheel turned over a closed drop-down changes nothing and opens nothing; a choice from the
    // open list opens its page.
    void wheelOverAClosedListOpensNothing()
    {
        AppFixture f;
        app::WindowSet windows(*f.context);
        QVERIFY(windows.startUp());
        app::MainWindow& w = windows.main();
        const QStringList sites = w.companionPages().siteAddresses();
        const QStringList blogs = w.blogs().addresses();
        const qsizetype opened = f.opener.opened.size();
        for (const char* name : {"ComboBox1", "ComboBox2"}) {
            auto* combo = w.findChild<QComboBox*>(QString::fromLatin1(name));
            QVERIFY(combo->count() >= 3);
            combo->setCurrentIndex(1);
            const QPointF centre = QRectF(combo->rect()).center();
            for (int notch : {-120, -120, 120}) {
                QWheelEvent wheel(centre, combo->mapToGlobal(centre), QPoint(), QPoint(0, notch), Qt::NoButton,
                                  Qt::NoModifier, Qt::NoScrollPhase, false);
                QApplication::sendEvent(combo, &wheel);
            }
            QCOMPARE(combo->currentIndex(), 1);
            QCOMPARE(f.opener.opened.size(), opened);
        }
        QCOMPARE(w.blogs().seenFlags().count(QStringLiteral("1")), 0);

        for (const auto& [name, pages] : {std::pair{"ComboBox1", sites}, std::pair{"ComboBox2", blogs}}) {
            auto* combo = w.findChild<QComboBox*>(QString::fromLatin1(name));
            combo->showPopup();
            QAbstractItemView* list = combo->view();
            QTRY_VERIFY(list->isVisible());
            QTest::qWait(QApplication::doubleClickInterval() + 50);   // a release this soon after opening is ignored
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(2, 0)).center());
            QCOMPARE(f.opener.opened.last(), pages[2]);
        }
        QCOMPARE(f.opener.opened.size(), opened + 2);
        QCOMPARE(w.blogs().seenFlags().value(2), QStringLiteral("1"));
    }
};

QTEST_MAIN(TestInfoWiring)
#include "test_info_wiring.moc"
