// Program start: the splash (which keeps one copy running), then the main window, whose first
// show prepares everything, then the event loop.
#include "core/clock.h"
#include "app/context.h"
#include "app/displayplatform.h"
#include "app/mainwindow.h"
#include "app/programicon.h"
#include "app/windowset.h"
#include "widgets/messageboxprompter.h"
#include "core/settings.h"
#include "core/startupheap.h"
#include "app/singlecopy.h"
#include "app/startuploader.h"
#include "net/desktopurlopener.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>
#include <memory>

int main(int argc, char** argv)
{
    QCoreApplication::setApplicationName(QStringLiteral("huilan"));
    QCoreApplication::setOrganizationName(QStringLiteral("huilan"));
    QCoreApplication::setApplicationVersion(app::kVersionText);

    // The command line and the settings file are read before any window system is touched, so
    // --help, --version and their errors work in a terminal with no display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const app::CommandLine cli = app::parseCommandLine(arguments);
    if (!cli.error.isEmpty()) {
        std::fprintf(stderr, "huilan: %s\n", qPrintable(cli.error));
        return 2;
    }
    if (cli.help) {
        std::fputs(qPrintable(cli.helpText), stdout);
        return 0;
    }
    if (cli.version) {
        std::printf("huilan %s\n", qPrintable(app::kVersionText));
        return 0;
    }

    // The window system, the fonts and the first show allocate about 10 MiB of heap; backed in
    // one call it costs a tenth of what page faults one page at a time cost on a virtual machine.
    app::reserveStartupHeap(app::kStartupHeapBytes);
    app::StartupLoader loader;

    app::Settings settings;
    const QString configPath = cli.configPath.isEmpty() ? app::Settings::defaultPath() : cli.configPath;
    if (!cli.configPath.isEmpty() || QFileInfo::exists(configPath)) {
        QString error;
        std::optional<app::Settings> loaded = app::Settings::load(configPath, &error);
        if (!loaded) {
            std::fprintf(stderr, "huilan: %s\n", qPrintable(error));
            return 2;
        }
        settings = *loaded;
    }

    // In a Wayland session with XWayland the program runs on X11, where it places its pop-ups and
    // the ticker itself; the variable is set for Qt's start only, so the programs the browser
    // opener starts still choose their own window system.
    const app::PlatformChoice platform = app::choosePlatform(app::currentDisplayEnvironment());
    if (platform.placementNote)
        std::fprintf(stderr, "huilan: %s\n", app::kPlacementNote);
    if (!platform.platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", platform.platform);
    QApplication application(argc, argv);
    if (!platform.platform.isEmpty())
        qunsetenv("QT_QPA_PLATFORM");
    // Every window shows the program icon; the desktop links the windows to the menu entry.
    QApplication::setWindowIcon(app::programIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("cn.huilan.Huilan"));
    // The program ends through the main window's close box or the tray menu, never because the
    // last visible window (a pop-up, with the main window in the tray) was closed.
    QApplication::setQuitOnLastWindowClosed(false);
    app::useChineseDefaultFont();
    const std::jthread loading = loader.loadAfterApplication();

    std::unique_ptr<app::Clock> clock;
    if (cli.clockStart.isValid() || cli.speed != 1.0)
        clock = std::make_unique<app::RunningClock>(
            cli.clockStart.isValid() ? cli.clockStart : QDateTime::currentDateTime(), cli.speed);
    else
        clock = std::make_unique<app::SystemClock>();
    app::MessageBoxPrompter prompter;
    net::DesktopUrlOpener opener;
    app::AppContext context(settings, *clock, prompter, opener);

    app::SingleCopy singleCopy(app::kAppTitle);
    if (!singleCopy.acquire())
        return 0;   // another copy is running: end without a window
    app::WindowSet windows(context);
    if (!windows.startUp())
        return windows.main().exitCode();
    // The replies and paints that follow the first show still draw on the reserve; what is left
    // of it afterwards goes back to the system.
    QTimer::singleShot(app::kStartupHeapSeconds * 1000, &application, [] { app::releaseStartupHeap(); });
    // The benchmark times start-up up to here: the first show is done and the windows made at
    // start-up exist.
    if (qEnvironmentVariableIsSet("HUILAN_STARTUP_MARK"))
        std::fputs("huilan: started\n", stderr);
    return QApplication::exec();
}
