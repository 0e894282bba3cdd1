// Every fetcher of the program against every way a site can break. For each pair the sweep puts
// the fault on the fetcher's path in the sandbox, runs the fetch the way its tick or click does,
// and checks: it ends within the client's bound, shows no message box but its own, leaves what
// the user sees as the table below says, and works again on the next run once the fault is lifted.
//
// The clients' bounds are shortened to kBoundMs through their setReadTimeout, so the two modes
// that cost a whole bound (silent, drip) stay affordable; the start-up fetchers run before that
// point and keep the program's own bounds. The table of results is printed at the end, and the
// same table is in docs/RELIABILITY.md.
#include "app/mainwindow.h"
#include "app/statuscheck.h"
#include "app/windowset.h"
#include "appfixture.h"
#include "bigorder/bigordercontroller.h"
#include "core/guard.h"
#include "info/blogcontroller.h"
#include "info/companioncontroller.h"
#include "info/forumcontroller.h"
#include "info/stocknews.h"
#include "market/marketcontroller.h"
#include "market/quotepanel.h"
#include "net/codecs.h"
#include "net/httpclient.h"
#include "net/pageloader.h"
#include "recommend/recommendwindow.h"
#include "ticker/tickercontroller.h"
#include "ticker/tickerwindow.h"
#include "tv/tvcontroller.h"
#include "tv/tvwidgets.h"
#include "widgets/widgets.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <algorithm>

namespace {

constexpr int kBoundMs = 1000;
// Time a fetch may take beyond its client's bound: the rest of its tick and a loaded machine.
constexpr int kSlackMs = 2500;

// The columns of the table: every fault mode, and a body of a few MiB that stays under the cap.
const QStringList kModes = {"refuse", "silent", "drip", "cut", "500", "big", "big:3",
                            "garbage", "encoding", "redirect-loop", "redirect-file"};

// What each fetcher shows after each fault: "kept" (everything as before), "emptied" (its lists
// emptied, charts without bars), "error text" (its own failure text), "changed" (the page still
// reads as a page: re-encoded names, or records with garbled names), "+ box" (its own message
// box). The sweep fails on any cell that comes out otherwise.
const char kExpected[] = R"(
| quote (getvtdate) | kept | kept | kept | kept | kept | kept | kept | kept | kept | kept | kept |
| indices (getvtzs) | kept | kept | kept | kept | kept | kept | kept | kept | kept | kept | kept |
| online count (Timer2) | kept | kept | kept | kept | kept | kept | kept | kept | kept | kept | kept |
| online count (Label11) | kept + box | kept + box | kept + box | kept + box | kept + box | kept + box | kept | kept | kept | kept + box | kept + box |
| alert tick (Timer4) | kept | kept | kept | kept | kept | kept | kept | kept | kept | kept | kept |
| big-order pages | emptied | emptied | emptied | emptied | emptied | emptied | emptied | emptied | kept | emptied | emptied |
| forum | kept | kept | kept | kept | kept | kept | kept | kept | kept | kept | kept |
| commentary | error text | error text | error text | error text | error text | error text | kept | kept | changed | error text | error text |
| notice list | kept | kept | kept | kept | kept | kept | kept | kept | kept | kept | kept |
| company page | kept | kept | kept | kept | kept | kept | kept | kept | changed | kept | kept |
| blog directory | kept | kept | kept | kept | kept | kept | kept | kept | kept | kept | kept |
| blog pages (Timer5) | kept | kept | kept | kept | kept | kept | kept | kept | kept | kept | kept |
| news flash (Timer5) | kept | kept | kept | kept | kept | kept | kept | kept | kept | kept | kept |
| evaluations | kept | kept | kept | kept | kept | kept | kept | kept | kept | kept | kept |
| ticker quotes | kept | kept | kept | kept | kept | kept | kept | kept | changed | kept | kept |
| recommendation board | kept | kept | kept | kept | kept | kept | kept | kept | changed | kept | kept |
| recommendation post | kept + box | (30 s bound, not swept) | (30 s bound, not swept) | kept + box | kept + box | kept + box | kept | kept | kept | kept + box | kept + box |
| status check | ended + box | (30 s bound, not swept) | (30 s bound, not swept) | ended + box | ended + box | ended + box | ended + upgrade box | ended + upgrade box | started | ended + box | ended + box |
| TV directory | no column | no column | no column | no column | no column | no column | fixed items only | fixed items only | column built | no column | no column |
)";

QString expected(const QString& fetcher, const QString& mode)
{
    for (const QString& line : QString::fromUtf8(kExpected).split('\n')) {
        const QStringList cells = line.split('|');
        if (cells.size() == kModes.size() + 3 && cells[1].trimmed() == fetcher)
            return cells[kModes.indexOf(mode) + 2].trimmed();
    }
    return QStringLiteral("(not in the table)");
}

// What the user sees of a part of the window: labels, drop-down items and grid cells.
QStringList textsUnder(const QObject* root)
{
    QStringList out;
    for (const QLabel* l : root->findChildren<QLabel*>())
        out << l->objectName() + '=' + l->text();
    for (const QComboBox* c : root->findChildren<QComboBox*>())
        for (int i = 0; i < c->count(); ++i)
            out << c->objectName() + '[' + QString::number(i) + "]=" + c->itemText(i);
    for (const QTableWidget* t : root->findChildren<QTableWidget*>())
        for (int r = 0; r < t->rowCount(); ++r)
            for (int c = 0; c < t->columnCount(); ++c)
                out << QStringLiteral("%1[%2,%3]=%4").arg(t->objectName()).arg(r).arg(c).arg(
                    t->item(r, c) ? t->item(r, c)->text() : QString());
    return out;
}

// Runs `tick` until it has asked for `path` once (at most three ticks): the ticker and the blog
// search pass an empty step between rounds.
void tickUntilAsked(AppFixture& f, const QString& path, const std::function<void()>& tick)
{
    const int asked = f.requestCount(path);
    for (int i = 0; i < 3 && f.requestCount(path) == asked; ++i)
        tick();
}

bool waitUntil(const std::function<bool()>& done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QTest::qWait(10);
    return done();
}

// The running program the sweep works on: started once, its own timers stopped so that only the
// fetch under test runs.
struct Program : AppFixture {
    Program() : windows(*context)
    {
        // A blog directory of one blog that names the stock.
        box->setFixedPage("/gpreadtoady1.asp",
                          net::toGbk(QStringLiteral("<body text=\"#000000\">%1/today.html*x|%1/b1.html*博客一|</body>")
                                         .arg(box->baseUrl())));
        box->setFixedPage("/b1.html", "<p>000001</p>");
        started = started && windows.startUp();
        // One watched stock (the start loaded none), so the alert tick and the ticker have a quote to fetch.
        store::AlertLists& a = context->alerts;
        a.AlertSendOpenClose << "0";
        a.AlertCodes << "600000";
        a.AlertNames << QStringLiteral("浦发银行");
        a.AlertFlags << "0000";
        a.AlertTradeDigits << "4";
        a.AlertOrderDigits << "4";
        a.AlertPercent << "5";
        a.AlertInterval << "5";
        a.AlertBroadcast << "0";
        a.realignStates();
        a.LocalAlertsOn = true;
        // The sandbox's market stands still, so a healthy fetch shows the same every time.
        box->setClock(box->now(), 1e-9);
        quiet();
        for (net::HttpClient* c : clients())
            c->setReadTimeout(kBoundMs);
        for (net::PageLoader* l : main().findChildren<net::PageLoader*>())
            l->setReadTimeout(kBoundMs);
        windows.ticker().setReadTimeout(kBoundMs);
        windows.ticker().N13Click();   // shown, its row built
        quiet();
    }

    app::MainWindow& main() { return windows.main(); }
    QList<QObject*> roots()
    {
        return {&main(), &main().blogs(), &main().companionPages(), &windows.recommendations(), &windows.ticker()};
    }
    QList<net::HttpClient*> clients()
    {
        QList<net::HttpClient*> out;
        for (QObject* r : roots())
            out += r->findChildren<net::HttpClient*>();
        return out;
    }
    // Stops the program's own timers (Timer1 … Timer9 of every window and controller).
    void quiet()
    {
        for (QObject* r : roots())
            for (QTimer* t : r->findChildren<QTimer*>())
                if (t->objectName().startsWith(QLatin1String("Timer")))
                    t->stop();
    }
    QString code() const { return context->state.CurrentCode; }
    template <class Body> void run(Body&& body) { app::guarded(prompter, std::forward<Body>(body)); }

    app::WindowSet windows;
};

struct Fetcher {
    QString name;
    QString path;                                   // where the fault goes
    std::function<void(Program&)> trigger;          // one run, as its tick or click does it
    std::function<QStringList(Program&)> state;     // what the user sees of it
    QStringList ownBoxes;                           // boxes its own failure handling shows
    QString failedState;                            // the outcome name when state == failure(p)
    std::function<QStringList(Program&)> failure;   // what its failure handling shows, if anything
    QStringList skipped = {};                       // modes left out, with the reason in the table
    // True when the run after the fault looks like a healthy run; by default: the same state as
    // before the fault and no box.
    std::function<bool(Program&, const QStringList& before)> recovered = {};
};

QStringList bigOrderLists(Program& p)
{
    const bigorder::BigOrderLists& l = p.main().bigOrder().lists();
    return {l.HourBuyList.join(','), l.HourSellList.join(','), l.DayBuyList.join(','), l.DaySellList.join(','),
            l.DayLabelList.join(','), l.PieValueList.join(','), l.PieColourList.join(',')};
}

QStringList recommendationLines(Program& p)
{
    QStringList out;
    const recommend::RecommendationList& list = p.windows.recommendations().list();
    for (qsizetype i = 0; i < list.size(); ++i)
        out << list.at(i).stock + ' ' + list.at(i).reason + ' ' + list.at(i).time;
    return out + textsUnder(&p.windows.recommendations().window());
}

const QString kPostFailed = QStringLiteral("网络故障，请稍后再试");
const QString kPostAccepted = QStringLiteral("本次您的荐股操作成功，感谢您的参与！");
const QString kPostOverLimit = QStringLiteral("今日您荐股的次数超过2次，提交失败!");

QList<Fetcher> fetchers()
{
    using P = Program;
    const QString kept = QStringLiteral("kept");
    return {
        {"quote (getvtdate)", kQuotePath, [](P& p) { p.run([&] { p.main().market().getvtdate(p.code()); }); },
         [](P& p) { return textsUnder(p.main().findChild<market::QuotePanel*>()); }, {}, {}, {}},
        {"indices (getvtzs)", kIndexPath, [](P& p) { p.run([&] { p.main().market().getvtzs(); }); },
         [](P& p) {
             return QStringList{p.context->index.line1, p.context->index.line2, p.context->index.flag1,
                                p.context->index.flag2};
         },
         {}, {}, {}},
        {"online count (Timer2)", "/gpreadall.asp",
         [](P& p) {
             p.context->state.MinuteTickCount = 0;
             p.main().Timer2Timer();
         },
         [](P& p) { return QStringList{p.main().findChild<QLabel*>("Label20")->text()}; }, {}, {}, {}},
        {"online count (Label11)", "/gpreadall.asp", [](P& p) { p.main().companionPages().Label11()->clicked(); },
         [](P& p) { return QStringList{p.main().findChild<QLabel*>("Label20")->text()}; },
         {QStringLiteral("刷新失败，请稍后再试!")}, {}, {}},
        {"alert tick (Timer4)", kQuotePath, [](P& p) { p.main().alerts().Timer4Timer(); },
         [](P& p) {
             const store::AlertLists& a = p.context->alerts;
             return QStringList{a.LimitAlerted.join(','), a.TradeAlertState.join(','), a.OrderAlertState.join(','),
                                a.PercentAlertState.join(',')};
         },
         {}, {}, {}},
        {"big-order pages", "/stock/*",
         [](P& p) {
             bigorder::BigOrderController& b = p.main().bigOrder();
             b.loadpages(p.code());
             waitUntil([&] {
                 return !b.loader(bigorder::Page::Hourly).isLoading() && !b.loader(bigorder::Page::Day).isLoading()
                        && !b.loader(bigorder::Page::Pie).isLoading();
             }, kBoundMs + kSlackMs);
         },
         bigOrderLists, {}, "emptied", [](P&) { return QStringList(7, QString()); }},
        {"forum", "/topic,*", [](P& p) { p.run([&] { p.main().forum().getgbdata(p.code()); }); },
         [](P& p) { return textsUnder(p.main().findChild<QGroupBox*>("GroupBox1")); }, {}, {}, {}},
        {"commentary", "/data/qgqp.asp", [](P& p) { p.run([&] { p.main().stockNews().getqgqp(p.code()); }); },
         [](P& p) { return textsUnder(p.main().findChild<QGroupBox*>("GroupBox2")); }, {}, "error text",
         [](P&) { return QStringList{QStringLiteral("Label9=获取失败"), QStringLiteral("Label10=获取数据失败......")}; }},
        {"notice list", "/Notice/Notice_List.aspx", [](P& p) { p.run([&] { p.main().stockNews().getgg(p.code()); }); },
         [](P& p) { return textsUnder(p.main().findChild<QGroupBox*>("GroupBox6")); }, {}, {}, {}},
        {"company page", "/realstock/company/*", [](P& p) { p.run([&] { p.main().stockNews().getyg(p.code()); }); },
         [](P& p) { return textsUnder(p.main().findChild<QGroupBox*>("GroupBox6")); }, {}, {}, {}},
        {"blog directory", "/gpreadtoady1.asp", [](P& p) { p.run([&] { p.main().blogs().loadDirectory(); }); },
         [](P& p) { return textsUnder(p.main().findChild<QComboBox*>("ComboBox2")) << p.main().blogs().Label41()->text(); },
         {}, {}, {}},
        {"blog pages (Timer5)", "/b1.html",
         [](P& p) { tickUntilAsked(p, "/b1.html", [&] { p.main().blogs().Timer5Timer(*p.main().blogTimer()); }); },
         [](P& p) { return textsUnder(p.main().findChild<QComboBox*>("ComboBox2")) << p.main().blogs().Label41()->text(); },
         {}, {}, {}},
        {"news flash (Timer5)", "/news/cgszb.html",
         [](P& p) {
             // Out of sight the tick reads only the news flash, on every twentieth tick.
             p.context->state.HiddenInTray = true;
             for (int i = 0; i < 20; ++i)
                 p.main().blogs().Timer5Timer(*p.main().blogTimer());
             p.context->state.HiddenInTray = false;
         },
         [](P& p) { return textsUnder(p.main().findChild<QLabel*>("Label48")->parentWidget()); }, {}, {}, {}},
        {"evaluations", "/gpreadzhpj.asp", [](P& p) { p.run([&] { p.main().companionPages().readzhpj(); }); },
         [](P& p) { return textsUnder(p.main().findChild<QComboBox*>("ComboBox1")); }, {}, {}, {}},
        {"ticker quotes", kQuotePath,
         [](P& p) {
             ticker::TickerController& t = p.windows.ticker();
             tickUntilAsked(p, kQuotePath, [&] {
                 t.Timer1Timer();
                 waitUntil([&] { return !t.waiting(); }, kBoundMs + kSlackMs);
             });
         },
         [](P& p) { return textsUnder(&p.windows.ticker().window()); }, {}, {}, {}},
        {"recommendation board", "/gpjgshow.asp",
         [](P& p) { p.run([&] { p.windows.recommendations().addlabel(); }); }, recommendationLines, {}, {}, {}, {},
         // The list only grows: a page in the wrong encoding adds its records with garbled names.
         [](P& p, const QStringList& before) {
             const QStringList now = recommendationLines(p);   // the lines shown may be the garbled ones
             return p.prompter.boxes.isEmpty()
                    && std::all_of(before.begin(), before.end(), [&](const QString& l) {
                           return now.contains(l) || l.startsWith(QLatin1String("RecommendLine"));
                       });
         }},
        {"recommendation post", "/gpjg.asp",
         [](P& p) {
             recommend::RecommendWindow& w = p.windows.recommendations().window();
             w.codeEdit->setText(QStringLiteral("600000"));   // its name is looked up as it is typed
             w.reasonEdit->setText(QStringLiteral("业绩稳定"));
             p.run([&] { p.windows.recommendations().BitBtn1Click(); });
         },
         [](P&) { return QStringList(); }, {kPostFailed, kPostAccepted, kPostOverLimit}, {}, {},
         // The post sets its client's bound back to 30 s each time.
         {"silent", "drip"},
         [](P& p, const QStringList&) {
             return p.prompter.boxes.size() == 1
                    && (p.prompter.boxes[0].text == kPostAccepted || p.prompter.boxes[0].text == kPostOverLimit);
         }},
    };
}

QString outcome(const Fetcher& fetcher, Program& p, const QStringList& before, const QStringList& after)
{
    if (after == before)
        return QStringLiteral("kept");
    if (fetcher.failure && after == fetcher.failure(p))
        return fetcher.failedState;
    return QStringLiteral("changed");
}

} // namespace

class TestFaultSweep : public QObject {
    Q_OBJECT
    std::unique_ptr<Program> program;
    QMap<QString, QMap<QString, QString>> table;   // fetcher → mode → result, printed at the end
    QStringList rows;                              // the fetchers in the order they were swept

    void note(const QString& fetcher, const QString& mode, const QString& result)
    {
        if (!rows.contains(fetcher))
            rows << fetcher;
        table[fetcher][mode] = result;
    }

private Q_SLOTS:
    void initTestCase()
    {
        program = std::make_unique<Program>();
        QVERIFY(program->started);
        QVERIFY2(program->prompter.boxes.isEmpty(), qPrintable(program->prompter.texts().join('|')));
    }

    void cleanupTestCase()
    {
        QString out = "\n| fetcher | " + kModes.join(" | ") + " |\n|---|";
        for (int i = 0; i < kModes.size(); ++i)
            out += "---|";
        for (const QString& row : std::as_const(rows)) {
            out += "\n| " + row + " |";
            for (const QString& mode : kModes)
                out += ' ' + table[row].value(mode) + " |";
        }
        qInfo().noquote() << out;
        program.reset();
    }

    void sweep_data()
    {
        QTest::addColumn<int>("fetcher");
        QTest::addColumn<QString>("mode");
        const QList<Fetcher> all = fetchers();
        for (const Fetcher& f : all)   // the table's rows in this order
            rows << f.name;
        for (int i = 0; i < all.size(); ++i)
            for (const QString& mode : kModes) {
                if (all[i].skipped.contains(mode))
                    note(all[i].name, mode, QStringLiteral("(30 s bound, not swept)"));
                else
                    QTest::addRow("%s × %s", qPrintable(all[i].name), qPrintable(mode)) << i << mode;
            }
    }
    void sweep()
    {
        QFETCH(int, fetcher);
        QFETCH(QString, mode);
        Program& p = *program;
        const Fetcher f = fetchers().at(fetcher);

        // Healthy first: this is what the user sees before the site breaks.
        f.trigger(p);
        p.quiet();
        const QStringList before = f.state(p);
        p.prompter.boxes.clear();

        QVERIFY(p.box->setFault(f.path, mode));
        const int asked = int(p.box->requests().size());
        QElapsedTimer waited;
        waited.start();
        f.trigger(p);
        const qint64 ms = waited.elapsed();
        p.quiet();
        p.box->clearFaults();
        QVERIFY2(p.box->requests().size() > asked, "the fetch never reached the site");

        QVERIFY2(ms < kBoundMs + kSlackMs, qPrintable(QStringLiteral("waited %1 ms").arg(ms)));
        for (const RecordedBox& b : std::as_const(p.prompter.boxes))
            QVERIFY2(f.ownBoxes.contains(b.text), qPrintable("unexpected box: " + b.text));
        const QString result = outcome(f, p, before, f.state(p))
                               + (p.prompter.boxes.isEmpty() ? QString() : QStringLiteral(" + box"));
        note(f.name, mode, result);
        QCOMPARE(result, expected(f.name, mode));

        // Lifted: the next run shows what a healthy run shows.
        p.prompter.boxes.clear();
        f.trigger(p);
        p.quiet();
        if (f.recovered) {
            QVERIFY2(f.recovered(p, before), qPrintable(p.prompter.texts().join('|')));
        } else {
            QCOMPARE(f.state(p), before);
            QVERIFY2(p.prompter.boxes.isEmpty(), qPrintable(p.prompter.texts().join('|')));
        }
    }

    // The start-up fetchers run once per start, so each of their cells is a start of its own, and
    // they keep the program's own bounds: the status check's 30 s leaves its silent and drip cells
    // to the client tests. A start-up without faults is the healthy case they are held to.
    void startUp_data()
    {
        QTest::addColumn<QString>("fetcher");
        QTest::addColumn<QString>("mode");
        for (const QString& mode : QStringList{""} + kModes) {
            if (mode != "silent" && mode != "drip")
                QTest::addRow("status check × %s", qPrintable(mode)) << "status check" << mode;
            else
                note("status check", mode, QStringLiteral("(30 s bound, not swept)"));
            QTest::addRow("TV directory × %s", qPrintable(mode)) << "TV directory" << mode;
        }
    }
    void startUp()
    {
        QFETCH(QString, fetcher);
        QFETCH(QString, mode);
        const bool status = fetcher == "status check";
        AppFixture f;
        QVERIFY(f.started);
        if (!mode.isEmpty())
            QVERIFY(f.box->setFault(status ? "/gplogin.asp" : "/gp1gettvdata.asp", mode));
        app::WindowSet windows(*f.context);
        QElapsedTimer waited;
        waited.start();
        const bool ran = windows.startUp();
        const qint64 ms = waited.elapsed();
        QVERIFY2(ms < (status ? 30000 : 6000) + 4 * kSlackMs, qPrintable(QStringLiteral("waited %1 ms").arg(ms)));

        QString result;
        if (status) {
            // A page without the two status records reads as "a newer version is out".
            const QStringList own{app::unreachableText(f.context->settings.Contact), app::kUpgradeQuestion};
            QVERIFY(f.prompter.boxes.size() <= 1);
            for (const RecordedBox& b : std::as_const(f.prompter.boxes))
                QVERIFY2(own.contains(b.text), qPrintable("unexpected box: " + b.text));
            QCOMPARE(ran, f.prompter.boxes.isEmpty());
            if (!f.prompter.boxes.isEmpty() && f.prompter.boxes[0].text == own[0])   // the author's page says why
                QCOMPARE(f.opener.opened, QStringList{f.context->settings.SpaceUrl});
            result = ran                             ? QStringLiteral("started")
                     : f.prompter.boxes[0].text == own[0] ? QStringLiteral("ended + box")
                                                          : QStringLiteral("ended + upgrade box");
        } else {
            QVERIFY2(f.prompter.boxes.isEmpty(), qPrintable(f.prompter.texts().join('|')));
            QVERIFY(ran);
            QStringList column;
            for (const tv::ColumnLabel* l : windows.main().findChildren<tv::ColumnLabel*>())
                column << l->text();
            // The column is built from the directory, or not at all when it cannot be read; a page
            // without channel records gives just the two fixed items.
            const bool built = column.size() > 2;
            QVERIFY(built || column.isEmpty() || column.size() == 2);
            result = built ? QStringLiteral("column built")
                           : column.isEmpty() ? QStringLiteral("no column") : QStringLiteral("fixed items only");
            if (mode.isEmpty())
                QVERIFY(built);
        }
        if (!mode.isEmpty()) {
            note(fetcher, mode, result);
            QCOMPARE(result, expected(fetcher, mode));
        }
    }
};

QTEST_MAIN(TestFaultSweep)
#include "test_fault_sweep.moc"
