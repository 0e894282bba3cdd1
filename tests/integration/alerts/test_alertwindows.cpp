#include "alerts/alertwindows.h"
#include "doubles.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

using alerts::AlertWindow;
using alerts::BlogNoticeWindow;
using alerts::BroadcastWindow;
using alerts::FlowNoticeWindow;
using alerts::Icon;
using alerts::NoticePauses;

namespace {

const QColor kRed(255, 0, 0);
const QColor kGreen(0, 128, 0);

const QList<QStringList> kThreeStocks = {
    {"招商银行(600036)", "35.12", "2.15%↑", "456789"},
    {"平安银行(000001)", "12.03", "-0.41%↓", "98765"},
    {"万科A(000002)", "8.77", "0.00%↑", "5120"},
};

QLabel* label(const QWidget& w, const char* name)
{
    return w.findChild<QLabel*>(QString::fromLatin1(name));
}

QColor textColour(const QWidget& w, const char* name)
{
    return label(w, name)->palette().color(QPalette::WindowText);
}

QStringList rowTexts(const QTableWidget& grid, int row)
{
    QStringList out;
    for (int c = 0; c < grid.columnCount(); ++c)
        out << (grid.item(row, c) ? grid.item(row, c)->text() : QString());
    return out;
}

// Every row lies inside the grid's visible area, with nothing left to scroll to.
bool allRowsVisible(const QTableWidget& grid)
{
    const QRect view = grid.viewport()->rect();
    for (int r = 0; r < grid.rowCount(); ++r) {
        if (!view.contains(grid.visualRect(grid.model()->index(r, 4))))
            return false;
    }
    return grid.verticalScrollBar()->maximum() == 0 && grid.horizontalScrollBar()->maximum() == 0;
}

// The seven pop-ups, as the application creates them.
struct Popups {
    NoticePauses pauses;
    RecordingUrlOpener opener;
    BroadcastWindow broadcast;
    AlertWindow limit{AlertWindow::Kind::Limit};
    AlertWindow trade{AlertWindow::Kind::LargeTrade};
    AlertWindow order{AlertWindow::Kind::LargeOrder};
    AlertWindow riseFall{AlertWindow::Kind::RiseFall};
    FlowNoticeWindow flow{pauses};
    BlogNoticeWindow blog{pauses, opener};

    QList<QWidget*> all() { return {&broadcast, &limit, &trade, &order, &riseFall, &flow, &blog}; }
};

} // namespace

class TestAlertWindows : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void windowsAreHiddenStayOnTopDialogsWithTheirCaptions()
    {
        Popups p;
        const QList<QPair<QString, QString>> expected = {
            {"TForm5", "股价"},     {"TForm6", "股价提示"},     {"TForm7", "大单成交"},
            {"TForm8", "大单出现"}, {"TForm9", "涨跌情况"},     {"TForm10", "大单流向提示"},
            {"TForm11", "搜索提示"},
        };
        const QList<QWidget*> windows = p.all();
        for (int i = 0; i < windows.size(); ++i) {
            QWidget* w = windows[i];
            QCOMPARE(w->objectName(), expected[i].first);
            QCOMPARE(w->windowTitle(), expected[i].second);
            QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
            const Qt::WindowFlags f = w->windowFlags();
            QCOMPARE(f & Qt::WindowType_Mask, Qt::Tool);   // no taskbar entry of their own
            for (Qt::WindowType hint : {Qt::WindowStaysOnTopHint, Qt::WindowTitleHint,
                                        Qt::WindowCloseButtonHint, Qt::MSWindowsFixedSizeDialogHint})
                QVERIFY2(f.testFlag(hint), qPrintable(w->objectName()));
            QCOMPARE(w->minimumSize(), w->maximumSize());
        }
        QCOMPARE(p.flow.findChild<QCheckBox*>("CheckBox1")->text(), QStringLiteral("暂停提示"));
        QCOMPARE(p.blog.findChild<QCheckBox*>("CheckBox1")->text(), QStringLiteral("暂停提示"));
    }

    void closingHidesAndKeepsTheTexts()
    {
        Popups p;
        p.trade.showAlert("注意:招商银行(600036)在10:15:03有1200手大买单成交", "最新价:35.12", false, Icon::None);
        QVERIFY(p.trade.isVisible());
        p.trade.close();
        QVERIFY(!p.trade.isVisible());
        QCOMPARE(label(p.trade, "Label1")->text(), QStringLiteral("注意:招商银行(600036)在10:15:03有1200手大买单成交"));
    }

    void broadcastShowsHeadingStockRowsAndOneEmptyRow()
    {
        BroadcastWindow w;
        const int base = w.height();
        QCOMPARE(base, w.baseHeight());
        w.showBroadcast("现在(9:29:05)播报开盘价", "开盘价", kThreeStocks);

        QVERIFY(w.isVisible());
        QCOMPARE(label(w, "Panel1")->text(), QStringLiteral("现在(9:29:05)播报开盘价"));
        const auto* grid = w.findChild<QTableWidget*>("StringGrid1");
        QCOMPARE(grid->rowCount(), 5);
        QCOMPARE(rowTexts(*grid, 0), (QStringList{"", "股票名称及代码", "开盘价", "涨跌幅", "成交量"}));
        QCOMPARE(rowTexts(*grid, 1), (QStringList{"1", "招商银行(600036)", "35.12", "2.15%↑", "456789"}));
        QCOMPARE(rowTexts(*grid, 4), (QStringList{"", "", "", "", ""}));
        QCOMPARE(w.height(), base + 48);
        QCOMPARE(grid->height(), w.baseGridHeight() + 48);
        QVERIFY(allRowsVisible(*grid));
    }

    void laterBroadcastReplacesAnOpenOneWithoutGrowing()
    {
        BroadcastWindow w;
        const int base = w.baseHeight();
        w.showBroadcast("现在(9:29:05)播报开盘价", "开盘价", kThreeStocks);
        w.showBroadcast("现在(11:33:10)播报午间收盘价", "收盘价", kThreeStocks.mid(1));

        const auto* grid = w.findChild<QTableWidget*>("StringGrid1");
        QCOMPARE(label(w, "Panel1")->text(), QStringLiteral("现在(11:33:10)播报午间收盘价"));
        QCOMPARE(grid->rowCount(), 4);
        QCOMPARE(rowTexts(*grid, 1), (QStringList{"1", "平安银行(000001)", "12.03", "-0.41%↓", "98765"}));
        QCOMPARE(rowTexts(*grid, 3), (QStringList{"", "", "", "", ""}));   // old third row gone
        QCOMPARE(w.height(), base + 32);
        QVERIFY(allRowsVisible(*grid));

        // Closing returns to the base height; a broadcast with no stocks keeps it.
        w.close();
        QCOMPARE(w.height(), base);
        w.showBroadcast("现在(15:03:00)播报收盘价", "收盘价", {});
        QCOMPARE(grid->rowCount(), 2);
        QCOMPARE(rowTexts(*grid, 0), (QStringList{"", "股票名称及代码", "收盘价", "涨跌幅", "成交量"}));
        QCOMPARE(w.height(), base);
        QVERIFY(allRowsVisible(*grid));

        // Rows that bring their own number (as the alert tick makes them) fill the same columns.
        w.showBroadcast("现在(15:03:00)播报收盘价", "收盘价",
                        {{"1", "万科A(000002)", "8.77", "0.00%↑", "5120"}});
        QCOMPARE(rowTexts(*grid, 1), (QStringList{"1", "万科A(000002)", "8.77", "0.00%↑", "5120"}));
        QCOMPARE(w.height(), base + 16);
    }

    void directionWindowsSwapIconAndLineColour_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("limit TForm6") << int(AlertWindow::Kind::Limit);
        QTest::newRow("rise/fall TForm9") << int(AlertWindow::Kind::RiseFall);
    }

    void directionWindowsSwapIconAndLineColour()
    {
        QFETCH(int, kind);
        AlertWindow w{AlertWindow::Kind(kind)};
        QLabel* up = label(w, "Image1");
        QLabel* down = label(w, "Image2");
        QVERIFY(up && down);
        QCOMPARE(up->geometry(), down->geometry());

        w.showAlert("注意:平安银行(000001) 股价接近跌停或已跌停", "最新价:10.80 跌:-1.20元", true, Icon::Down);
        QVERIFY(!up->isVisible());
        QVERIFY(down->isVisible());
        QCOMPARE(textColour(w, "Label2"), kGreen);

        w.showAlert("注意:招商银行(600036) 股价接近涨停或已涨停", "最新价:38.60 涨:3.48元", false, Icon::Up);
        QVERIFY(up->isVisible());
        QVERIFY(!down->isVisible());
        QCOMPARE(textColour(w, "Label2"), kRed);
        QCOMPARE(label(w, "Label1")->text(), QStringLiteral("注意:招商银行(600036) 股价接近涨停或已涨停"));
        QCOMPARE(label(w, "Label2")->text(), QStringLiteral("最新价:38.60 涨:3.48元"));
    }

    void placementFollowsEachWindowsCorner()
    {
        Popups p;
        const QScreen* screen = QGuiApplication::primaryScreen();
        const QRect whole = screen->geometry();
        const QRect work = screen->availableGeometry();

        p.broadcast.showBroadcast("现在(9:29:05)播报开盘价", "开盘价", kThreeStocks);
        p.limit.showAlert("a", "b", false, Icon::Up);
        for (QWidget* w : {static_cast<QWidget*>(&p.broadcast), static_cast<QWidget*>(&p.limit)}) {
            const QRect f = w->frameGeometry();
            QCOMPARE(f.x(), whole.width() - f.width());
            QCOMPARE(f.y(), work.height() - f.height());
        }

        p.flow.placeAndShow();
        QCOMPARE(p.flow.frameGeometry().topRight(), QPoint(whole.width() - 1, 0));

        p.blog.placeAndShow();
        const QRect b = p.blog.frameGeometry();
        QCOMPARE(b.x(), whole.width() - b.width());
        QCOMPARE(b.y(), (whole.height() - b.height()) / 2);
    }

    void pauseBoxesSetThePauseAndTheTrayResumes()
    {
        Popups p;
        struct Case {
            QWidget* window;
            bool NoticePauses::*flag;
        };
        for (const Case& c : {Case{&p.flow, &NoticePauses::flow}, Case{&p.blog, &NoticePauses::blog}}) {
            auto* box = c.window->findChild<QCheckBox*>("CheckBox1");
            QSignalSpy spy(c.window, SIGNAL(pauseChanged(bool)));
            QVERIFY(!(p.pauses.*c.flag) && !box->isChecked());

            box->click();
            QVERIFY(p.pauses.*c.flag);
            QCOMPARE(spy.count(), 1);
            QCOMPARE(spy.at(0).at(0).toBool(), true);

            box->click();
            QVERIFY(!(p.pauses.*c.flag));
            QCOMPARE(spy.count(), 2);
            QCOMPARE(spy.at(1).at(0).toBool(), false);

            box->click();
            if (c.window == &p.flow)
                p.flow.resumeFromTray();
            else
                p.blog.resumeFromTray();
            QVERIFY(!(p.pauses.*c.flag));
            QVERIFY(!box->isChecked());
            QCOMPARE(spy.count(), 3);   // the tray is not told about its own change
        }
    }

    void blogLinkClick_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QStringList>("opened");
        QTest::addColumn<bool>("seenAndHidden");
        QTest::newRow("no link") << QString() << QStringList{} << false;
        QTest::newRow("blanks only") << QStringLiteral("   ") << QStringList{} << false;
        QTest::newRow("web address, trimmed") << QStringLiteral("  http://blog.example.cn/u/17  ")
                                              << QStringList{"http://blog.example.cn/u/17"} << true;
        QTest::newRow("script refused") << QStringLiteral("javascript:alert(1)") << QStringList{} << false;
    }

    void blogLinkClick()
    {
        QFETCH(QString, link);
        QFETCH(QStringList, opened);
        QFETCH(bool, seenAndHidden);
        NoticePauses pauses;
        RecordingUrlOpener opener;
        BlogNoticeWindow w(pauses, opener);
        w.setNotice("您的股票:招商银行(600036)", link, 3);
        w.setLinkText("在《老股民》被提及,点击查看!");
        w.placeAndShow();
        QSignalSpy seen(&w, &BlogNoticeWindow::blogSeen);

        QTest::mouseClick(label(w, "Label2"), Qt::LeftButton);

        QCOMPARE(opener.opened, opened);
        QCOMPARE(seen.count(), seenAndHidden ? 1 : 0);
        if (seenAndHidden)
            QCOMPARE(seen.at(0).at(0).toInt(), 3);
        QCOMPARE(w.isVisible(), !seenAndHidden);
    }
};

QTEST_MAIN(TestAlertWindows)
#include "test_alertwindows.moc"
