#include "app/programicon.h"

#include "widgets/widgets.h"

#include <QApplication>
#include <QFont>

namespace app {

QIcon programIcon()
{
    // Up to 64 pixels: what title bars, task bars and trays ask for. The larger theme sizes are
    // for software centres, which read the installed files; decoding them here cost a tenth of
    // the start-up's processor time.
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64})
        icon.addFile(QStringLiteral(":/icons/huilan-%1.png").arg(size), QSize(size, size));
    return icon;
}

void useChineseDefaultFont()
{
    QFont font = QApplication::font();
    font.setFamilies(chineseFontFamilies() << font.family());
    QApplication::setFont(font);
}

} // namespace app
