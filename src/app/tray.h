// The notification-area icon and its popup menu.
#pragma once

#include <QIcon>
#include <QObject>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace app {

class Tray : public QObject {
    Q_OBJECT
public:
    Tray(const QIcon& icon, const QString& tip, QObject* parent = nullptr);
    ~Tray() override;

    // False when the platform has no notification area to put the icon in.
    static bool available();
    // Puts the icon in the tray; a second call changes nothing.
    void add();
    void remove();
    bool shown() const;

    QMenu* menu() const { return m_menu; }
    QSystemTrayIcon* icon() const { return m_icon; }
    QAction* item(const char* name) const;
    // Opens the popup menu at the cursor, as a left or right press on the icon does.
    void popUp();

Q_SIGNALS:
    void showMainWindow();   // N1
    void exitProgram();      // N2
    void flowResumed();      // N5: the hourly flow notices are shown again
    void blogResumed();      // N7: the blog-mention notices are shown again
    void distributionResumed();   // N6
    void recommendResumed();      // N15
    void tickerToggled();         // N13
    void recommendOpened();       // N14

private:
    QSystemTrayIcon* m_icon;
    QMenu* m_menu;
};

} // namespace app
