#include "app/tray.h"

#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>

namespace app {

namespace {

QAction* addItem(QMenu* menu, const char* name, const QString& text, bool checkable = false)
{
    QAction* action = menu->addAction(text);
    action->setObjectName(QString::fromLatin1(name));
    if (checkable) {
        action->setCheckable(true);
        action->setChecked(true);
    }
    return action;
}

} // namespace

Tray::Tray(const QIcon& icon, const QString& tip, QObject* parent)
    : QObject(parent), m_icon(new QSystemTrayIcon(icon, this)), m_menu(new QMenu)
{
    m_icon->setToolTip(tip);
    m_menu->setObjectName(QStringLiteral("PopupMenu1"));
    connect(addItem(m_menu, "N1", QStringLiteral("显示主窗口")), &QAction::triggered, this, &Tray::showMainWindow);
    QMenu* resume = m_menu->addMenu(QStringLiteral("继续提示"));
    resume->setObjectName(QStringLiteral("N4Menu"));
    resume->menuAction()->setObjectName(QStringLiteral("N4"));
    // The four resume items only switch notices back on: a click leaves them checked.
    const struct { const char* name; const char* text; void (Tray::*signal)(); } resumes[] = {
        {"N5", "实时大单流入流出情况", &Tray::flowResumed},
        {"N6", "实时大单流入流出分布图", &Tray::distributionResumed},
        {"N7", "实时知名博客是否提及本股", &Tray::blogResumed},
        {"N15", "实时有新荐股数据", &Tray::recommendResumed},
    };
    for (const auto& r : resumes) {
        QAction* action = addItem(resume, r.name, QString::fromUtf8(r.text), true);
        connect(action, &QAction::triggered, this, [this, action, signal = r.signal] {
            action->setChecked(true);
            Q_EMIT(this->*signal)();
        });
    }
    // The desktop ticker's item is checked while the ticker is shown; the ticker sets the mark.
    QAction* ticker = addItem(m_menu, "N13", QStringLiteral("在桌面显示股价"), true);
    ticker->setChecked(false);
    connect(ticker, &QAction::triggered, this, &Tray::tickerToggled);
    connect(addItem(m_menu, "N14", QStringLiteral("荐股交流")), &QAction::triggered, this, &Tray::recommendOpened);
    connect(addItem(m_menu, "N2", QStringLiteral("退      出")), &QAction::triggered, this, &Tray::exitProgram);

    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        // A left or a right press opens the menu; the second half of a double click does not.
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::Context)
            popUp();
    });
}

Tray::~Tray()
{
    delete m_menu;
}

bool Tray::available()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void Tray::add()
{
    m_icon->show();
}

void Tray::remove()
{
    m_icon->hide();
}

bool Tray::shown() const
{
    return m_icon->isVisible();
}

QAction* Tray::item(const char* name) const
{
    return m_menu->findChild<QAction*>(QString::fromLatin1(name));
}

void Tray::popUp()
{
    m_menu->popup(QCursor::pos());
}

} // namespace app
