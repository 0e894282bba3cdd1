#include "app/windowset.h"

#include "app/mainwindow.h"
#include "app/splashwindow.h"
#include "app/tray.h"
#include "bigorder/bigorderwindows.h"
#include "info/announcementswindow.h"
#include "info/blogcontroller.h"
#include "market/marketcontroller.h"
#include "widgets/widgets.h"

#include "core/eventlog.h"
#include "core/guard.h"
#include "recommend/recommendwindow.h"
#include "settings/settingsdialog.h"
#include "ticker/tickercontroller.h"

#include <QAction>

namespace app {

WindowSet::WindowSet(AppContext& context) : m_ctx(context)
{
}

WindowSet::~WindowSet()
{
    if (m_main)
        m_main->setRecommendations(nullptr);
}

bool WindowSet::startUp()
{
    m_splash = std::make_unique<SplashWindow>();
    centreOnScreen(m_splash.get());
    m_splash->show();
    m_main = std::make_unique<MainWindow>(m_ctx, m_splash.get());
    // The first show starts the alert tick and then waits on the network: what a tick decides
    // meanwhile goes to the pop-ups, not into the void.
    m_main->alerts().setAlertSink([this](const alerts::TickResult& result) { showAlerts(result); });
    m_main->show();
    if (m_main->endRequested())
        return false;

    // The ticker is created hidden; its index cells follow every index page from now on.
    m_ticker = std::make_unique<ticker::TickerController>(m_ctx.alerts, m_ctx.index, m_ctx.settings,
                                                          m_ctx.clock, m_ctx.prompter);
    QObject::connect(&m_main->market(), &market::MarketController::indexSummaryUpdated, m_ticker.get(),
                     &ticker::TickerController::showIndices);
    m_main->stockNews().setAnnouncementsWindow([this] { return &announcementsWindow(); });

    m_settingsHost = std::make_unique<settings::SettingsHost>();
    settings::SettingsHost& host = *m_settingsHost;
    host.mainWindow = m_main.get();
    host.alertTimer = m_main->alertTimer();
    host.blogTimer = m_main->blogTimer();
    host.showAlertStatus = [this](bool local, bool phone) { m_main->ShowAlertStatus(local, phone); };
    host.pauseTicker = [this] { m_ticker->pause(); };
    host.resumeTicker = [this] { m_ticker->resume(); };
    host.rebuildTicker = [this] { m_ticker->rebuildRows(); };
    QObject::connect(m_main.get(), &MainWindow::settingsRequested, m_main.get(), [this] { settingsDialog().open(); });

    m_flow = std::make_unique<alerts::FlowNoticeWindow>(m_pauses);
    m_blog = std::make_unique<alerts::BlogNoticeWindow>(m_pauses, m_ctx.opener);

    // The pause boxes and the tray's resume items mirror each other.
    Tray& tray = m_main->tray();
    QObject::connect(m_flow.get(), &alerts::FlowNoticeWindow::pauseChanged, &tray,
                     [&tray](bool paused) { tray.item("N5")->setChecked(!paused); });
    QObject::connect(&tray, &Tray::flowResumed, m_flow.get(), &alerts::FlowNoticeWindow::resumeFromTray);
    QObject::connect(m_blog.get(), &alerts::BlogNoticeWindow::pauseChanged, &tray,
                     [&tray](bool paused) { tray.item("N7")->setChecked(!paused); });
    QObject::connect(&tray, &Tray::blogResumed, m_blog.get(), &alerts::BlogNoticeWindow::resumeFromTray);
    // N13 shows or hides the ticker, and its check mark follows the ticker's window.
    QObject::connect(&tray, &Tray::tickerToggled, m_ticker.get(), &ticker::TickerController::N13Click);
    QObject::connect(m_ticker.get(), &ticker::TickerController::shownChanged, &tray,
                     [&tray](bool shown) { tray.item("N13")->setChecked(shown); });

    // A blog mention found while the main window is out of sight: the notice at the right edge,
    // unless paused; opening its link counts the mention as seen.
    m_main->setBlogNoticeSink([this](const info::BlogNotice& notice) {
        m_blog->setNotice(notice.line1, notice.link, notice.blogIndex);
        m_blog->setLinkText(notice.line2);
        if (m_blog->paused())
            m_blog->place();
        else
            m_blog->placeAndShow();
    });
    QObject::connect(m_blog.get(), &alerts::BlogNoticeWindow::blogSeen, &m_main->blogs(),
                     &info::BlogController::markSeen);
    // The hourly flow announcements fill and show the flow notice; the pie window's pause box and
    // the tray's N6 mirror each other like the notices' boxes.
    bigorder::BigOrderController& bigOrder = m_main->bigOrder();
    alerts::FlowNoticeWindow* flow = m_flow.get();
    bigorder::FlowNoticeHook hook;
    hook.setTotals = [flow](const QString& text, const QColor& colour) { flow->setTotals(text, colour); };
    hook.fill = [this, flow](const QString& stock, const QString& message, const QColor& colour, bool inflow) {
        logEvent(m_ctx.clock.now(), QStringLiteral("flow"), stock + u' ' + message);
        flow->place();
        flow->setInflow(inflow);
        flow->setStock(stock);
        flow->setMessage(message, colour);
    };
    hook.paused = [flow] { return flow->paused(); };
    hook.show = [flow] { flow->placeAndShow(); };
    bigOrder.setFlowNotice(std::move(hook));
    QObject::connect(&bigOrder.pieWindow(), &bigorder::PieWindow::pauseChanged, &tray,
                     [&tray](bool paused) { tray.item("N6")->setChecked(!paused); });
    QObject::connect(&tray, &Tray::distributionResumed, &bigOrder, &bigorder::BigOrderController::N6Click);

    // The recommendation window, last: it disables the main window while it is open, and its
    // prompt switch mirrors the tray item N15.
    recommend::RecommendHooks hooks;
    hooks.mainWindow = m_main.get();
    hooks.setPromptItemChecked = [&tray](bool on) { tray.item("N15")->setChecked(on); };
    m_recommend = std::make_unique<recommend::RecommendController>(m_ctx.state, m_ctx.settings, m_ctx.prompter,
                                                                   m_ctx.opener, std::move(hooks));
    m_main->setRecommendations(m_recommend.get());
    recommend::RecommendController* rc = m_recommend.get();
    QObject::connect(&tray, &Tray::recommendOpened, rc,
                     [this, rc] { guarded(m_ctx.prompter, [rc] { rc->N14Click(); }); });
    QObject::connect(&tray, &Tray::recommendResumed, rc, &recommend::RecommendController::N15Click);
    return true;
}

settings::SettingsDialog& WindowSet::settingsDialog()
{
    if (!m_settings)
        m_settings = std::make_unique<settings::SettingsDialog>(m_ctx.store, m_ctx.alerts, m_ctx.settings,
                                                               m_ctx.prompter, m_ctx.opener, *m_settingsHost);
    return *m_settings;
}

info::AnnouncementsWindow& WindowSet::announcementsWindow()
{
    if (!m_announcements)
        m_announcements = std::make_unique<info::AnnouncementsWindow>(m_main->stockNews().announcements(),
                                                                     m_ctx.opener);
    return *m_announcements;
}

alerts::BroadcastWindow& WindowSet::broadcastWindow()
{
    if (!m_broadcast)
        m_broadcast = std::make_unique<alerts::BroadcastWindow>();
    return *m_broadcast;
}

alerts::AlertWindow& WindowSet::alertWindow(alerts::AlertKind kind)
{
    std::unique_ptr<alerts::AlertWindow>& window = m_alertWindows[int(kind)];
    if (!window)
        window = std::make_unique<alerts::AlertWindow>(kind);
    return *window;
}

void WindowSet::showAlerts(const alerts::TickResult& result)
{
    const QDateTime now = m_ctx.clock.now();
    if (result.broadcast) {
        logEvent(now, QStringLiteral("broadcast"), result.broadcast->title);
        broadcastWindow().showBroadcast(result.broadcast->title, result.broadcast->heading, result.broadcast->rows);
    }
    for (const alerts::AlertShow& a : result.alerts) {
        logEvent(now, QStringLiteral("alert"), a.line1);
        alertWindow(a.kind).showAlert(a.line1, a.line2, a.falling, a.icon);
    }
}

} // namespace app
