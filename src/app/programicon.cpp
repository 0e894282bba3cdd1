#include "app/programicon.h"

#include "widgets/widgets.h"

#include <QApplication>
#include <QFont>
#include <QImageReader>
#include <QPixmap>

namespace app {

QIcon programIcon()
{
    // Up to 64 pixels: what title bars, task bars and trays ask for. The larger theme sizes are
    // for software centres, which read the installed files; decoding them here cost a tenth of
    // the start-up's processor time. Decoded once (the application, the main window and the tray
    // all ask), as PNG without format detection: detecting loads and asks every image format
    // plug-in installed, which cost more than the decoding. Never destroyed, so no pixmap
    // outlives the application at exit.
    static const QIcon* const icon = [] {
        auto* made = new QIcon;
        for (int size : {16, 22, 24, 32, 48, 64}) {
            QImageReader reader(QStringLiteral(":/icons/huilan-%1.png").arg(size), "png");
            reader.setAutoDetectImageFormat(false);
            const QImage image = reader.read();
            if (!image.isNull())
                made->addPixmap(QPixmap::fromImage(image));
        }
        return made;
    }();
    return *icon;
}

void useChineseDefaultFont()
{
    QFont font = QApplication::font();
    font.setFamilies(chineseFontFamilies() << font.family());
    QApplication::setFont(font);
}

} // namespace app
