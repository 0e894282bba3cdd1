// Renders the program's windows under a real display (Xvfb in scripts/screenshot) against an
// in-process sandbox and writes one PNG per window, so a person can look at them.
// Usage: huilan_screens OUTPUT_DIR
#include "app/programicon.h"
#include "app/mainwindow.h"
#include "app/windowset.h"
#include "appfixture.h"
#include "app/tray.h"
#include "info/announcementswindow.h"
#include "info/blogcontroller.h"
#include "core/guard.h"
#include "recommend/recommendwindow.h"
#include "widgets/widgets.h"
#include "settings/settingsdialog.h"
#include "bigorder/bigorderwindows.h"
#include "ticker/tickercontroller.h"
#include "tv/tvcontroller.h"
#include "tv/tvwidgets.h"

#include <QApplication>
#include <QCheckBox>
#include <QEnterEvent>
#include <QScreen>
#include <QDir>
#include <QFile>
#include <QTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <cstdio>

namespace {

void save(QWidget& w, const QString& dir, const char* name)
{
    QApplication::processEvents();
    const QString path = dir + u'/' + QString::fromLatin1(name) + QStringLiteral(".png");
    if (!w.grab().save(path))
        std::fprintf(stderr, "could not write %s\n", qPrintable(path));
    else
        std::printf("%s\n", qPrintable(path));
}

void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    app::useChineseDefaultFont();
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QDir().mkpath(out);

    AppFixture f(QDateTime(QDate(2026, 12, 9), QTime(10, 30)));
    app::WindowSet windows(*f.context);
    windows.startUp();
    settle(6000);   // pages arrive, the banner turns, 10:30 announces the first hour
    // The hourly announcement: the flow notice at the top right and the pie window.
    app::MainWindow& main = windows.main();
    bigorder::BigOrderController& big = main.bigOrder();
    save(windows.flowNotice(), out, "flow-notice");
    if (!big.pieWindow().isVisible())
        big.dbshow();
    save(big.pieWindow(), out, "pie-window");
    big.pieWindow().close();
    // One pass of the blog search over the whole directory (Timer5 does one blog per 30 s).
    for (int i = 0; i < 12; ++i)
        main.blogs().Timer5Timer(*main.blogTimer());
    save(main, out, "main-window");
    main.findChild<QCheckBox*>(QStringLiteral("CheckBox1"))->click();
    save(big.tenDayWindow(), out, "ten-day-window");
    big.tenDayWindow().close();
    main.stockNews().Label15Click();
    save(windows.announcementsWindow(), out, "announcements-window");
    windows.announcementsWindow().close();

    // The same pass with the window out of sight raises the blog-mention notice.
    main.hide();
    main.blogs().resetDisplay();
    for (int i = 0; i < 13 && !windows.blogNotice().isVisible(); ++i)
        main.blogs().Timer5Timer(*main.blogTimer());
    save(windows.blogNotice(), out, "blog-notice");
    main.show();

    // The TV viewer: start screen with the channel column, a category menu, the waiting page of
    // a stream that never starts, the moving test picture playing, the player menu.
    tv::TvController& tv = windows.main().tv();
    save(*tv.panel(), out, "tv-start");
    tv.mset(tv.column().first());
    settle(300);
    save(*tv.channelMenu(), out, "tv-channel-menu");
    tv.channelMenu()->hide();
    tv.nclick(QStringLiteral("无信号"));
    settle(1500);
    save(*tv.panel(), out, "tv-waiting");
    tv.nclick(QStringLiteral("测试图"));
    for (int i = 0; i < 100 && tv.player()->status() != QStringLiteral("正在播放"); ++i)
        settle(100);
    settle(1500);
    std::printf("player status: %s\n", qPrintable(tv.player()->status()));
    // The picture is drawn straight to the screen, so this one is taken from the screen.
    const QRect area(tv.panel()->mapToGlobal(QPoint(0, 0)), tv.panel()->size());
    const QString playing = out + QStringLiteral("/tv-playing.png");
    if (QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()).save(playing))
        std::printf("%s\n", qPrintable(playing));
    tv.N8Click();
    tv.Image14Click();
    settle(300);
    save(*tv.playerMenu(), out, "tv-player-menu");
    tv.playerMenu()->hide();
    tv.N3Click();

    settings::SettingsDialog& dialog = windows.settingsDialog();
    dialog.open();
    for (const char* code : {"600036", "000001"}) {
        dialog.findChild<QLineEdit*>(QStringLiteral("Edit1"))->setText(QString::fromLatin1(code));
        dialog.addStock();
    }
    dialog.findChild<QListWidget*>(QStringLiteral("ListBox1"))->setCurrentRow(0);
    save(dialog, out, "settings-dialog");
    dialog.openPhoneWindow();
    save(dialog.phoneWindow(), out, "phone-window");
    dialog.phoneWindow().close();
    dialog.save();

    // The desktop ticker over six watched stocks, switched on from the tray menu; it refreshes
    // one stock a second while the pictures below are made.
    f.context->alerts.AlertCodes = {"600036", "000001", "600000", "000651", "601318", "300059"};
    windows.ticker().rebuildRows();
    windows.main().tray().item("N13")->trigger();
    settle(7500);
    save(windows.ticker().window(), out, "ticker");

    // The recommendation window from the tray item, a stock being recommended, a line hovered.
    recommend::RecommendController& recommendations = windows.recommendations();
    app::guarded(f.prompter, [&] { recommendations.N14Click(); });
    recommendations.window().codeEdit->setText(QStringLiteral("600036"));
    recommendations.window().reasonEdit->setText(QStringLiteral("大单持续流入，突破前期平台"));
    settle(1500);   // the banner arrives
    QEnterEvent hover(QPointF(10, 10), QPointF(10, 10), QPointF(10, 10));
    QApplication::sendEvent(recommendations.window().lines[1], &hover);
    save(recommendations.window(), out, "recommend-window");
    recommendations.window().close();

    // Every alert kind from the real alert tick: three watched stocks with every alert on and
    // quotes that cross each threshold.
    store::AlertLists& l = f.context->alerts;
    l.AlertFlags = {"1111", "1111", "1111"};
    l.realignStates();
    l.AlertCodes = {"600036", "000001", "300750"};
    l.AlertSendOpenClose = {"1", "1", "1"};
    l.AlertTradeDigits = {"4", "4", "4"};
    l.AlertOrderDigits = {"4", "4", "4"};
    l.AlertPercent = {"5", "5", "5"};
    l.LocalAlertsOn = true;
    const auto quote = [&](const char* code, const char* line) {
        f.box->setFixedPage(QStringLiteral("/EM_Quote2007/optional.aspx?type=z&fav=") + QLatin1String(code)
                                + QStringLiteral("&hick=zhou"),
                            QByteArray(line), "text/html; charset=utf-8");
    };
    quote("600036", "x,600036,招商银行,38.50,9.12%,3.22,38.49,120,38.50,15000,456789,160234.5,35.30,35.28,38.6,35.1,1,1500,t,");
    quote("000001", "x,000001,平安银行,10.41,-6.20%,-0.69,10.40,23000,10.41,80,77164,8701.05,11.00,11.10,11.05,10.30,-1,2300,t,");
    quote("300750", "x,300750,宁德时代,180.20,-9.35%,-18.59,180.10,50,180.20,30,33456,60212.3,195.00,198.79,196.00,179.90,-1,80,t,");
    f.clock.set(QDateTime(QDate(2026, 12, 9), QTime(9, 28, 30)));
    windows.main().alerts().Timer4Timer();   // the opening broadcast
    f.clock.set(QDateTime(QDate(2026, 12, 9), QTime(10, 31, 5)));
    windows.main().alerts().Timer4Timer();   // the alerts
    save(windows.broadcastWindow(), out, "broadcast");
    for (auto [kind, name] : {std::pair{alerts::AlertKind::Limit, "alert-limit"},
                              std::pair{alerts::AlertKind::LargeTrade, "alert-trade"},
                              std::pair{alerts::AlertKind::LargeOrder, "alert-order"},
                              std::pair{alerts::AlertKind::RiseFall, "alert-risefall"}})
        save(windows.alertWindow(kind), out, name);
    windows.main().tray().add();
    windows.main().tray().popUp();
    settle(500);
    std::printf("tray available: %s\n", app::Tray::available() ? "yes" : "no");
    // scripts/screenshot takes the whole screen once this file exists.
    QFile ready(out + QStringLiteral("/.ready"));
    ready.open(QIODevice::WriteOnly);
    ready.close();
    if (qEnvironmentVariableIsSet("HUILAN_SCREENS_HOLD"))
        settle(qEnvironmentVariableIntValue("HUILAN_SCREENS_HOLD"));
    QFile::remove(ready.fileName());
    return 0;
}
