// Every window of the program, kept for the whole run: most created at start-up in a fixed order,
// those that only a click or an alert opens at their first use.
#pragma once

#include "alerts/alertwindows.h"
#include "app/context.h"

#include <memory>

namespace settings {
class SettingsDialog;
struct SettingsHost;
}
namespace info { class AnnouncementsWindow; }
namespace recommend { class RecommendController; }
namespace ticker { class TickerController; }

namespace app {

class MainWindow;
class SplashWindow;

class WindowSet {
public:
    explicit WindowSet(AppContext& context);
    ~WindowSet();

    // Shows the splash, then the main window (whose first show prepares everything), then
    // creates the other windows hidden. False when a start-up step decided the program ends.
    // The settings dialog and the announcements window, which only a click opens, and the
    // broadcast and alert pop-ups, which only an alert opens, are made at their first use.
    bool startUp();

    SplashWindow& splash() { return *m_splash; }
    MainWindow& main() { return *m_main; }
    settings::SettingsDialog& settingsDialog();
    // The desktop ticker (TForm15 with its refresh timer), switched by the tray item N13.
    ticker::TickerController& ticker() { return *m_ticker; }
    info::AnnouncementsWindow& announcementsWindow();
    alerts::BroadcastWindow& broadcastWindow();
    // TForm6 to TForm9 by kind.
    alerts::AlertWindow& alertWindow(alerts::AlertKind kind);
    alerts::FlowNoticeWindow& flowNotice() { return *m_flow; }
    alerts::BlogNoticeWindow& blogNotice() { return *m_blog; }
    alerts::NoticePauses& pauses() { return m_pauses; }
    // TForm16 and its handlers.
    recommend::RecommendController& recommendations() { return *m_recommend; }

    // Shows what one alert tick decided.
    void showAlerts(const alerts::TickResult& result);

private:
    AppContext& m_ctx;
    std::unique_ptr<SplashWindow> m_splash;
    std::unique_ptr<MainWindow> m_main;
    std::unique_ptr<ticker::TickerController> m_ticker;
    std::unique_ptr<info::AnnouncementsWindow> m_announcements;   // TForm2
    std::unique_ptr<settings::SettingsHost> m_settingsHost;
    std::unique_ptr<settings::SettingsDialog> m_settings;
    alerts::NoticePauses m_pauses;
    std::unique_ptr<alerts::BroadcastWindow> m_broadcast;
    std::unique_ptr<alerts::AlertWindow> m_alertWindows[4];
    std::unique_ptr<alerts::FlowNoticeWindow> m_flow;
    std::unique_ptr<alerts::BlogNoticeWindow> m_blog;
    std::unique_ptr<recommend::RecommendController> m_recommend;   // destroyed before the main window it disables
};

} // namespace app
