// Which dialog-like windows hold a window disabled. Each takes a hold when it opens over the
// window and gives it back when it hides (closing hides it) or is destroyed; the window is enabled
// again only when the last hold is given back, so a window that closes over another one still
// open does not hand the window back to the user under it.
#pragma once

#include <QList>
#include <QObject>

class QWidget;

namespace app {

class WindowHolds : public QObject {
    Q_OBJECT
public:
    // The holds on `window`, made at the first call and owned by the window.
    static WindowHolds& of(QWidget& window);

    // `holder` opens over the window: the window is disabled until `holder` hides. A holder that
    // takes a hold again while it holds one still holds one.
    void take(QWidget& holder);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit WindowHolds(QWidget& window);
    void release(QObject* holder);

    QWidget& m_window;
    QList<QObject*> m_holders;
};

} // namespace app
