// A session of the program as main() builds it, in this process, against huilan-sandbox running
// as a process of its own (its memory and processor time stay out of the figures), at a moment in
// the trading hours, with every subsystem in use:
// - the first show, timed inside the process (the start-up benchmark times it from exec);
// - resident memory after HUILAN_BENCH_SECONDS (default 60) and processor time over them,
//   with 20 watched stocks on every alert, the desktop ticker switched on through the tray and
//   the windows and panels the first show builds;
// - a code change: from the search click until every panel is filled, i.e. until the last
//   reply, queued call or repaint it caused (the window's own timers are stopped meanwhile, so
//   what follows the click is the change's work alone; so is the ticker's). Median of 5 changes.
// Message boxes are printed instead of shown, so nothing waits for a click.
#include "app/programicon.h"
#include "core/startupheap.h"
#include "app/context.h"
#include "app/mainwindow.h"
#include "app/tray.h"
#include "ticker/tickercontroller.h"
#include "app/windowset.h"
#include "core/clock.h"
#include "core/guard.h"
#include "core/settings.h"
#include "figure.h"
#include "net/urlopener.h"
#include "sandboxprocess.h"
#include "store/alertstore.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

namespace {

class PrintingPrompter : public app::Prompter {
public:
    void error(const QString& text, const QString& caption) override { print(caption, text); }
    void notice(const QString& text, const QString& caption) override { print(caption, text); }
    bool question(const QString& text, const QString& caption) override
    {
        print(caption, text);
        return false;
    }

private:
    static void print(const QString& caption, const QString& text)
    {
        std::fprintf(stderr, "message box %s: %s\n", qPrintable(caption), qPrintable(text));
    }
};

class IgnoringOpener : public net::UrlOpener {
protected:
    void openWebAddress(const QUrl&) override {}
};

// Runs the event loop for `ms` without spinning: timers and replies are served as they come.
void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The watched stocks, every alert on and local alerts switched on, saved in the alert database
// the first show loads (the ticker shows the saved list).
void saveWatchedStocks(const QString& systemDir, const QStringList& codes)
{
    store::AlertLists lists;
    for (const QString& code : codes) {
        lists.AlertSendOpenClose << "1";
        lists.AlertCodes << code;
        lists.AlertNames << code;
        lists.AlertFlags << "1111";
        lists.AlertTradeDigits << "4";
        lists.AlertOrderDigits << "4";
        lists.AlertPercent << "3";
        lists.AlertInterval << "10";
        lists.AlertBroadcast << "0";
    }
    QDir().mkpath(systemDir);
    store::AlertStore db;
    db.createbase(systemDir + u'/' + store::kAlertDatabaseFile);
    db.SaveAlerts(lists);
    db.SaveSwitches(true, false);
}

// Remembers when the event loop last delivered work: a reply or queued call, a socket
// notice, a repaint.
class ActivityWatch : public QObject {
public:
    ActivityWatch() { m_clock.start(); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MetaCall:
        case QEvent::SockAct:
        case QEvent::Paint:
        case QEvent::UpdateRequest:
            m_last = m_clock.nsecsElapsed();
            break;
        default:
            break;
        }
        return false;
    }
    qint64 now() const { return m_clock.nsecsElapsed(); }
    qint64 last() const { return m_last; }

private:
    QElapsedTimer m_clock;
    qint64 m_last = 0;
};

// One code change through the search click; milliseconds until the work it caused ended.
double codeChangeMs(app::WindowSet& windows, app::Prompter& prompter, const QString& code)
{
    app::MainWindow& window = windows.main();
    // The window's own timers and the ticker's once-a-second refresh keep running otherwise.
    QList<QTimer*> timers = window.findChildren<QTimer*>();
    timers << &windows.ticker().timer();
    QList<QTimer*> stopped;
    for (QTimer* timer : timers)
        if (timer->objectName().startsWith(QLatin1String("Timer")) && timer->isActive()) {
            timer->stop();
            stopped << timer;
        }
    runFor(300);   // what the timers started settles
    ActivityWatch watch;
    qApp->installEventFilter(&watch);
    window.findChild<QLineEdit*>(QStringLiteral("Edit1"))->setText(code);
    const qint64 start = watch.now();
    app::guarded(prompter, [&] { window.ChangeStock(); });
    // Quiet for 500 ms: the change's last reply, queued call and repaint are behind us.
    while (watch.now() - std::max(watch.last(), start) < 500'000'000 && watch.now() - start < 20'000'000'000)
        runFor(20);
    qApp->removeEventFilter(&watch);
    for (QTimer* timer : stopped)
        timer->start();
    return (std::max(watch.last(), start) - start) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    app::reserveStartupHeap(app::kStartupHeapBytes);   // as main() does
    QApplication application(argc, argv);
    app::useChineseDefaultFont();
    QApplication::setQuitOnLastWindowClosed(false);
    const int seconds = bench::sessionSeconds();

    QTemporaryDir dir;
    bench::SandboxProcess box;
    if (!box.start(dir.filePath("sandbox"), {QStringLiteral("--scenario"), QStringLiteral("alerts")}))
        return 1;
    const QString ini = dir.filePath("huilan.ini");
    QString error;
    std::optional<app::Settings> settings;
    if (box.writeSettings(ini, dir.filePath("system")))
        settings = app::Settings::load(ini, &error);
    if (!settings) {
        std::fprintf(stderr, "settings: %s\n", qPrintable(error));
        return 1;
    }
    saveWatchedStocks(settings->SystemDir, bench::SandboxProcess::codes().mid(0, 20));
    app::RunningClock clock(QDateTime::fromString(QString::fromLatin1(bench::SandboxProcess::kClock),
                                                  QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    PrintingPrompter prompter;
    IgnoringOpener opener;
    app::AppContext context(*settings, clock, prompter, opener);

    const qint64 self = QCoreApplication::applicationPid();
    const long rssBefore = bench::statusKiB(self, "VmRSS");
    app::WindowSet windows(context);
    QElapsedTimer firstShow;
    firstShow.start();
    if (!windows.startUp()) {
        std::fprintf(stderr, "the first show ended the program\n");
        return 1;
    }
    QTimer::singleShot(app::kStartupHeapSeconds * 1000, [] { app::releaseStartupHeap(); });
    const double firstShowMs = firstShow.nsecsElapsed() / 1e6;
    std::printf("first show inside the process: %.1f ms\n", firstShowMs);
    bench::figure("first_show_inprocess_ms", firstShowMs, "ms");

    // Every subsystem in use.
    if (context.alerts.watchedCount() != 20) {
        std::fprintf(stderr, "the first show loaded %d watched stocks, not 20\n", context.alerts.watchedCount());
        return 1;
    }
    // The desktop ticker, through the tray's "在桌面显示股价" as a user switches it on.
    windows.main().tray().item("N13")->trigger();

    runFor(1000);   // the first ticks settle
    const double cpuStart = bench::cpuSeconds(self);
    QElapsedTimer wall;
    wall.start();
    runFor(seconds * 1000);
    const double cpuPercent = (bench::cpuSeconds(self) - cpuStart) / (wall.nsecsElapsed() / 1e9) * 100;
    const long rss = bench::statusKiB(self, "VmRSS");
    std::printf("after %d s: resident %.1f MiB (%.1f MiB of it before the first show; heap and other "
                "private memory %.1f MiB, mapped files and libraries %.1f MiB); processor %.2f %% of a core\n",
                seconds, rss / 1024.0, rssBefore / 1024.0, bench::statusKiB(self, "RssAnon") / 1024.0,
                bench::statusKiB(self, "RssFile") / 1024.0, cpuPercent);
    bench::figure("memory_60s_mib", rss / 1024.0, "MiB");
    bench::figure("cpu_60s_percent", cpuPercent, "%");

    QApplication::setCursorFlashTime(0);   // a blinking caret would repaint forever
    std::vector<double> changes;
    for (const char* code : {"600036", "000651", "601318", "000333", "300059"}) {
        changes.push_back(codeChangeMs(windows, prompter, QString::fromLatin1(code)));
        if (context.state.CurrentCode != QLatin1String(code)) {
            std::fprintf(stderr, "the code change to %s did not happen\n", code);
            return 1;
        }
    }
    std::sort(changes.begin(), changes.end());
    std::printf("code change until every panel is filled: %.1f ms median of 5 (%.1f..%.1f ms)\n",
                bench::median(changes), changes.front(), changes.back());
    bench::figure("code_change_ms", bench::median(changes), "ms");
    return 0;
}
