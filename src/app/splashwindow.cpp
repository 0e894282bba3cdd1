#include "app/splashwindow.h"

#include "core/settings.h"

#include <QFrame>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>

namespace app {

namespace {

// A rising candlestick chart, drawn at run time.
QPixmap chartPicture(int w, int h)
{
    QPixmap pixmap(w, h);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const int bars[] = {60, 48, 66, 54, 40, 46, 30, 22};
    for (int i = 0; i < 8; ++i) {
        const bool up = i % 3 != 1;
        p.setBrush(up ? QColor(230, 40, 40) : QColor(30, 160, 70));
        p.setPen(Qt::NoPen);
        p.drawRect(8 + i * 12, bars[i], 8, h - 10 - bars[i]);
    }
    p.setPen(QPen(QColor(255, 210, 0), 2));
    p.drawLine(6, h - 20, w - 6, 16);
    return pixmap;
}

} // namespace

SplashWindow::SplashWindow(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TForm12"));
    setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint);
    setFixedSize(330, 157);
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setGeometry(0, 0, 330, 157);
    panel->setFrameShape(QFrame::Box);
    panel->setAutoFillBackground(true);
    QPalette pal = panel->palette();
    pal.setColor(QPalette::Window, QColor(10, 30, 80));
    pal.setColor(QPalette::WindowText, Qt::white);
    panel->setPalette(pal);
    auto* image1 = new QLabel(panel);
    image1->setObjectName(QStringLiteral("Image1"));
    image1->setPixmap(chartPicture(110, 120));
    image1->setGeometry(12, 18, 110, 120);
    auto* image2 = new QLabel(kAppTitle + QStringLiteral("\n正在启动……"), panel);
    image2->setObjectName(QStringLiteral("Image2"));
    QFont f = image2->font();
    f.setPointSize(f.pointSize() + 3);
    f.setBold(true);
    image2->setFont(f);
    image2->setGeometry(128, 30, 196, 96);
    image2->setAlignment(Qt::AlignCenter);
    image2->setWordWrap(true);
}


} // namespace app
