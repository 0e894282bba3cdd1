// Renders the program's windows under a real display (Xvfb in scripts/screenshot) against an
// in-process sandbox and writes one PNG per window, so a person can look at them.
// Usage: huilan_screens OUTPUT_DIR
#include "app/mainwindow.h"
#include "app/windowset.h"
#include "appfixture.h"
#include "settings/settingsdialog.h"

#include <QApplication>
#include <QDir>
#include <QTimer>
#include <QLineEdit>
#include <QListWidget>
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
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QDir().mkpath(out);

    AppFixture f(QDateTime(QDate(2026, 12, 9), QTime(10, 30)));
    app::WindowSet windows(*f.context);
    windows.startUp();
    settle(6000);   // pages arrive, the banner turns
    save(windows.main(), out, "main-window");

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
    return 0;
}
