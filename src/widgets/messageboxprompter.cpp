#include "widgets/messageboxprompter.h"

#include "core/eventlog.h"

#include <QApplication>
#include <QMessageBox>

namespace app {

namespace {
QWidget* owner()
{
    return QApplication::activeWindow();
}

// A message box renders its text as rich text whenever it looks like markup; messages quote
// names from remote pages (a TV channel, a stock), so they are always shown as plain text.
QMessageBox::StandardButton show(QMessageBox::Icon icon, const QString& caption, const QString& text,
                                 QMessageBox::StandardButtons buttons, QMessageBox::StandardButton byDefault)
{
    QMessageBox box(icon, caption, text, buttons, owner());
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(byDefault);
    return QMessageBox::StandardButton(box.exec());
}
} // namespace

void MessageBoxPrompter::error(const QString& text, const QString& caption)
{
    logEvent({}, QStringLiteral("message-box"), caption + u' ' + text);
    show(QMessageBox::Critical, caption, text, QMessageBox::Ok, QMessageBox::Ok);
}

void MessageBoxPrompter::notice(const QString& text, const QString& caption)
{
    logEvent({}, QStringLiteral("message-box"), caption + u' ' + text);
    show(QMessageBox::Information, caption, text, QMessageBox::Ok, QMessageBox::Ok);
}

bool MessageBoxPrompter::question(const QString& text, const QString& caption)
{
    logEvent({}, QStringLiteral("message-box"), caption + u' ' + text);
    return show(QMessageBox::Question, caption, text, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok)
           == QMessageBox::Ok;
}

} // namespace app
