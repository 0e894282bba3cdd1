#include "widgets/windowholds.h"

#include <QEvent>
#include <QWidget>

namespace app {

WindowHolds::WindowHolds(QWidget& window) : QObject(&window), m_window(window)
{
}

WindowHolds& WindowHolds::of(QWidget& window)
{
    if (auto* holds = window.findChild<WindowHolds*>(QString(), Qt::FindDirectChildrenOnly))
        return *holds;
    return *new WindowHolds(window);
}

void WindowHolds::take(QWidget& holder)
{
    m_window.setEnabled(false);
    if (m_holders.contains(&holder))
        return;
    m_holders.append(&holder);
    holder.installEventFilter(this);
    connect(&holder, &QObject::destroyed, this, [this, h = &holder] { release(h); });
}

void WindowHolds::release(QObject* holder)
{
    if (!m_holders.removeOne(holder))
        return;
    holder->removeEventFilter(this);
    disconnect(holder, &QObject::destroyed, this, nullptr);
    if (m_holders.isEmpty())
        m_window.setEnabled(true);
}

bool WindowHolds::eventFilter(QObject* watched, QEvent* event)
{
    // A hide the program asked for (hide() or close()); minimising a window on some desktops
    // sends a spontaneous one, and a minimised dialog is still open.
    if (event->type() == QEvent::Hide && !event->spontaneous())
        release(watched);
    return QObject::eventFilter(watched, event);
}

} // namespace app
