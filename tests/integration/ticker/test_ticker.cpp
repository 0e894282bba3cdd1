// The desktop ticker against the in-process sandbox: the tray switch, the one-stock-a-second
// refresh, row colours, the settings dialog's pause and rebuild, and the index cells.
#include "appfixture.h"
#include "market.h"
#include "market/indexsummary.h"
#include "ticker/tickercontroller.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QScopeGuard>
#include <QScreen>
#include <QSignalSpy>
#include <QTimer>
#include <QUrlQuery>

using ticker::TickerController;
using ticker::TickerWindow;

namespace {

struct TickerFixture : AppFixture {
    explicit TickerFixture(int watched = 0)
    {
        codes = box->market().codes().mid(0, watched);
        context->alerts.AlertCodes = codes;
        ticker = std::make_unique<TickerController>(context->alerts, context->index, context->settings,
                                                    clock, prompter);
    }
    TickerWindow& window() { return ticker->window(); }
    QLabel* label(const char* name) { return window().findChild<QLabel*>(QString::fromLatin1(name)); }
    // The stock codes the ticker asked the quote service for, in order.
    QStringList fetched() const
    {
        QStringList out;
        for (const sandbox::LoggedRequest& r : box->requestsTo(kQuotePath))
            out << QUrlQuery(r.query).queryItemValue(QStringLiteral("fav"));
        return out;
    }
    // n seconds of the refresh timer, each until its quote has been handled.
    void ticks(int n)
    {
        for (int i = 0; i < n; ++i) {
            ticker->Timer1Timer();
            QTRY_VERIFY(!ticker->waiting());
        }
    }
    QString quotePage(const QString& code) const
    {
        return kQuotePath + QStringLiteral("?type=z&fav=") + code + QStringLiteral("&hick=zhou");
    }
    void fixQuote(const QString& code, const QString& name, const QString& percent)
    {
        const QString line = QStringLiteral("var quote_data=[\"1,%1,%2,10.50,%3,-0.13,10.49,120,10.50,80,"
                                            "654321,13000.5,10.60,10.63,10.70,10.41,-1,30,x,\"]")
                                 .arg(code, name, percent);
        box->setFixedPage(quotePage(code), line.toUtf8(), "text/html; charset=utf-8");
    }

    QStringList codes;
    std::unique_ptr<TickerController> ticker;
};

bool onGreen(const QLabel* l) { return l->autoFillBackground() && l->palette().color(QPalette::Window) == QColor(0, 128, 0); }
bool onRed(const QLabel* l) { return l->autoFillBackground() && l->palette().color(QPalette::Window) == QColor(255, 0, 0); }
bool whiteText(const QLabel* l) { return l->palette().color(QPalette::WindowText) == QColor(Qt::white); }

} // namespace

class TestTicker : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void noWatchedStockShowsIndexRowsOnlyAndFetchesNothing()
    {
        TickerFixture f;
        TickerWindow& w = f.window();
        QVERIFY(!w.isVisible() && !w.parent());   // created hidden, owned by no window
        QVERIFY(w.windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(w.windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(w.windowOpacity(), 80.0 / 255.0);
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(w.pos(), QPoint(area.x() + area.width() - w.width(), 30));
        QSignalSpy shownSpy(f.ticker.get(), &TickerController::shownChanged);
        f.ticker->N13Click();
        QVERIFY(f.window().isVisible());
        QVERIFY(f.ticker->timer().isActive());
        QCOMPARE(shownSpy.size(), 1);
        QCOMPARE(shownSpy[0][0].toBool(), true);
        QCOMPARE(f.window().builtRows(), 0);
        QCOMPARE(f.window().height(), TickerWindow::kFirstRowTop + 6);
        f.ticks(3);
        QVERIFY(f.fetched().isEmpty());
        QCOMPARE(f.label("Label20")->text(), QStringLiteral("2026-12-9 10:00:00"));
        QVERIFY(f.ticker->timer().isActive());
    }

    // Label20 holds the longest date and time whole in the ticker's font (here one in which it is
    // wider than 120 pixels); the headings and index cells right of it stay clear of it, over
    // their columns, and inside the window.
    void dateTimeCellHoldsTheLongestDateAndTime()
    {
        const QFont programFont = QApplication::font();
        QApplication::setFont(QFont(QStringLiteral("DejaVu Sans")));
        const auto restore = qScopeGuard([&] { QApplication::setFont(programFont); });
        TickerFixture f;
        TickerWindow& w = f.window();
        QLabel* dateTime = f.label("Label20");
        dateTime->setText(QStringLiteral("2026-12-19 10:30:00"));
        QVERIFY(dateTime->contentsRect().width() >= dateTime->fontMetrics().horizontalAdvance(dateTime->text()));
        auto heading = [&](const QString& text) -> QLabel* {
            for (QLabel* l : w.findChildren<QLabel*>())
                if (l->text() == text)
                    return l;
            return nullptr;
        };
        const char* columns[3][3] = {{"涨跌", "Label9", "Label17"}, {"幅度", "Label11", "Label18"},
                                     {"成交量", "Label12", "Label19"}};
        for (const auto& column : columns) {
            QLabel* top = heading(QString::fromUtf8(column[0]));
            QVERIFY(top);
            QVERIFY(!top->geometry().intersects(dateTime->geometry()));
            QCOMPARE(f.label(column[1])->x(), top->x());
            QCOMPARE(f.label(column[2])->x(), top->x());
            QVERIFY(w.rect().contains(f.label(column[1])->geometry()));
        }
        QVERIFY(!f.label("Label8")->geometry().intersects(f.label("Label9")->geometry()));
    }

    void threeStocksRefreshInOrderWithAnIdleSecond()
    {
        TickerFixture f(3);
        f.ticker->N13Click();
        QVERIFY(!f.window().cell(0, ticker::NameColumn)->isVisible());   // hidden until filled
        f.ticks(5);
        QCOMPARE(f.fetched(), (QStringList{f.codes[0], f.codes[1], f.codes[2], f.codes[0]}));
        for (int r = 0; r < 3; ++r) {
            QLabel* name = f.window().cell(r, ticker::NameColumn);
            QVERIFY(name->isVisible());
            QCOMPARE(name->text(), f.box->market().nameOf(f.codes[r]));
            QVERIFY(f.window().cell(r, ticker::VolumeColumn)->text().endsWith(QStringLiteral("手")));
        }
    }

    void rowColoursFollowTheChangePercent()
    {
        TickerFixture f(2);
        f.fixQuote(f.codes[0], QStringLiteral("<b>跌股</b>很长的名字"), QStringLiteral("-1.22"));
        f.fixQuote(f.codes[1], QStringLiteral("平股"), QStringLiteral("0"));
        f.ticker->N13Click();
        f.ticks(2);
        for (int c = ticker::LastColumn; c < ticker::ColumnCount; ++c) {
            QVERIFY(onGreen(f.window().cell(0, ticker::Column(c))));
            QVERIFY(whiteText(f.window().cell(0, ticker::Column(c))));
            QVERIFY(onRed(f.window().cell(1, ticker::Column(c))));
        }
        QLabel* name = f.window().cell(0, ticker::NameColumn);
        QVERIFY(!name->autoFillBackground());
        QCOMPARE(name->textFormat(), Qt::PlainText);
        QCOMPARE(name->text(), QStringLiteral("<b>跌股</b>很长的名字"));
        QCOMPARE(name->width(), TickerWindow::kNameWidth);   // a longer name is cut
        QCOMPARE(f.window().cell(1, ticker::VolumeColumn)->text(), QStringLiteral("654321手"));
    }

    void tenStocksAreAllVisible()
    {
        TickerFixture f(10);
        f.ticker->N13Click();
        f.ticks(10);
        const QRect inside = f.window().contentsRect();
        for (int r = 0; r < 10; ++r)
            for (int c = 0; c < ticker::ColumnCount; ++c) {
                QLabel* cell = f.window().cell(r, ticker::Column(c));
                QVERIFY(cell->isVisible());
                QVERIFY2(inside.contains(cell->geometry()), qPrintable(QStringLiteral("row %1").arg(r)));
            }
        QCOMPARE(f.window().cell(9, ticker::NameColumn)->y() - f.window().cell(8, ticker::NameColumn)->y(),
                 TickerWindow::kRowPitch);
    }

    void aFailedQuoteKeepsTheRowAndMovesOn()
    {
        TickerFixture f(2);
        f.ticker->N13Click();
        f.ticks(3);   // both rows filled, then the idle second
        const QString before = f.window().cell(0, ticker::LastColumn)->text();
        f.box->setFixedPage(f.quotePage(f.codes[0]), "busy", "text/plain", 500);
        f.ticks(2);
        QCOMPARE(f.window().cell(0, ticker::LastColumn)->text(), before);
        QCOMPARE(f.fetched().mid(2), (QStringList{f.codes[0], f.codes[1]}));
        QVERIFY(f.prompter.boxes.isEmpty());
        QVERIFY(f.ticker->timer().isActive());
    }

    void aStockAddedButNotSavedIsNeverTouched()
    {
        TickerFixture f(2);
        f.ticker->N13Click();
        f.ticker->pause();   // the settings dialog opens and adds a stock, then is left unsaved
        const QString added = f.box->market().codes().at(5);
        f.context->alerts.AlertCodes.append(added);
        f.ticker->resume();
        f.ticks(7);
        QVERIFY(!f.fetched().contains(added));
        QCOMPARE(f.window().builtRows(), 2);
    }

    void hidingStopsTheRefreshAndShowingResumesAtTheCursor()
    {
        TickerFixture f(3);
        f.ticker->N13Click();
        f.ticks(2);
        f.ticker->N13Click();
        QVERIFY(!f.window().isVisible());
        QVERIFY(!f.ticker->timer().isActive());
        QTest::qWait(1300);   // a second passes with the ticker hidden
        QCOMPARE(f.fetched().size(), 2);
        f.ticker->N13Click();
        QVERIFY(f.ticker->timer().isActive());
        f.ticks(1);
        QCOMPARE(f.fetched().last(), f.codes[2]);
    }

    void theSettingsDialogPausesAndASaveRebuilds()
    {
        TickerFixture f(2);
        f.ticker->N13Click();
        f.ticker->pause();
        QVERIFY(!f.ticker->timer().isActive());
        f.ticker->resume();
        QVERIFY(f.ticker->timer().isActive());

        f.ticker->pause();
        f.context->alerts.AlertCodes = f.box->market().codes().mid(4, 3);
        f.ticker->rebuildRows();
        f.ticker->resume();
        QCOMPARE(f.window().builtRows(), 3);
        QCOMPARE(f.window().height(), TickerWindow::kFirstRowTop + 3 * TickerWindow::kRowPitch + 6);
        f.ticks(4);
        QCOMPARE(f.fetched(), f.context->alerts.AlertCodes);

        // Resuming never starts the refresh of a hidden ticker, nor does a switch-on while paused.
        f.ticker->pause();
        f.ticker->N13Click();
        f.ticker->resume();
        QVERIFY(!f.ticker->timer().isActive());
        f.ticker->pause();
        f.ticker->N13Click();
        QVERIFY(f.window().isVisible());
        QVERIFY(!f.ticker->timer().isActive());
    }

    void aHungQuoteHoldsOnlyTheTickerAndAPauseMeanwhileStays()
    {
        TickerFixture f(1);
        f.ticker->setReadTimeout(300);
        f.box->setSilent(kQuotePath);
        f.ticker->N13Click();
        f.ticker->Timer1Timer();
        QVERIFY(f.ticker->waiting());   // the tick returned without waiting for the reply
        f.ticker->Timer1Timer();        // a second tick meanwhile sends nothing more
        f.ticker->pause();
        QTRY_VERIFY(!f.ticker->waiting());   // the read time-out ends it
        QCOMPARE(f.fetched().size(), 1);
        QVERIFY(!f.ticker->timer().isActive());
        QCOMPARE(f.ticker->cursor(), 1);
        QVERIFY(f.prompter.boxes.isEmpty());
        f.ticker->resume();
        QVERIFY(f.ticker->timer().isActive());
    }

    void aRebuildWhileAQuoteIsOnItsWayDropsTheReply()
    {
        TickerFixture f(2);
        f.ticker->N13Click();
        f.ticker->Timer1Timer();   // asks for the first stock
        f.context->alerts.AlertCodes = {f.codes[1]};
        f.ticker->rebuildRows();
        QTRY_VERIFY(!f.ticker->waiting());
        QCOMPARE(f.fetched(), QStringList{f.codes[0]});
        QCOMPARE(f.window().builtRows(), 1);
        QVERIFY(!f.window().cell(0, ticker::NameColumn)->isVisible());
        f.ticks(2);   // cursor 1 is past the new single row: an idle second, then the new stock
        QCOMPARE(f.window().cell(0, ticker::NameColumn)->text(), f.box->market().nameOf(f.codes[1]));
    }

    void indexCellsFollowTheSummary()
    {
        TickerFixture f;
        const QString page = QStringLiteral(
            "var zs=[\"上证指数,3200.10,-12.30,-0.38,25000,100,900,20,000001,3212.40,3210.00,3220.00,3190.00,\","
            "\"深证成指,10500.00,35.00,0.33,35000,800,300,50,399001,10465.00,10470.00,10520.00,10440.00,\"];");
        QVERIFY(market::applyIndexPage(page, f.context->index));
        f.ticker->showIndices();   // done by the main window after every index fetch
        QCOMPARE(f.label("Label8")->text(), QStringLiteral("3200.10"));
        QCOMPARE(f.label("Label9")->text(), QStringLiteral("-12.30"));
        QCOMPARE(f.label("Label11")->text(), QStringLiteral("-0.38"));
        QCOMPARE(f.label("Label12")->text(), QStringLiteral("2亿元"));
        QCOMPARE(f.label("Label19")->text(), QStringLiteral("4亿元"));
        for (const char* name : {"Label8", "Label9", "Label11", "Label12"})
            QVERIFY(onGreen(f.label(name)) && whiteText(f.label(name)));
        for (const char* name : {"Label16", "Label17", "Label18", "Label19"})
            QVERIFY(onRed(f.label(name)));
        QVERIFY(!f.window().isVisible());   // filled whether the ticker is shown or not
    }

    void aPressAnywhereDragsTheWindow()
    {
        TickerFixture f;
        f.ticker->N13Click();
        const QPoint start = f.window().pos();
        QLabel* title = f.label("Label6");
        const QPoint local = title->geometry().center();
        const QPoint global = f.window().mapToGlobal(local);
        QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, {});
        QCoreApplication::sendEvent(&f.window(), &press);
        QMouseEvent move(QEvent::MouseMove, local + QPoint(-40, 25), global + QPoint(-40, 25),
                         Qt::NoButton, Qt::LeftButton, {});
        QCoreApplication::sendEvent(&f.window(), &move);
        QCOMPARE(f.window().pos(), start + QPoint(-40, 25));
    }
};

QTEST_MAIN(TestTicker)
#include "test_ticker.moc"
