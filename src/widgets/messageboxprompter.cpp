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
} // namespace

void MessageBoxPrompter::error(const QString& text, const QString& caption)
{
    logEvent({}, QStringLiteral("message-box"), caption + u' ' + text);
    QMessageBox::critical(owner(), caption, text);
}

void MessageBoxPrompter::notice(const QString& text, const QString& caption)
{
    logEvent({}, QStringLiteral("message-box"), caption + u' ' + text);
    QMessageBox::information(owner(), caption, text);
}

bool MessageBoxPrompter::question(const QString& text, const QString& caption)
{
    logEvent({}, QStringLiteral("message-box"), caption + u' ' + text);
    return QMessageBox::question(owner(), caption, text, QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Ok)
           == QMessageBox::Ok;
}

} // namespace app
