// The all-announcements window (TForm2): every announcement of the notice list in a grid; a row
// opens its announcement page. While it is open the window that opened it is disabled.
#pragma once

#include "info/announcements.h"

#include <QWidget>

class QGroupBox;

namespace net { class UrlOpener; }

namespace info {

class CellGrid;

class AnnouncementsWindow : public QWidget {
    Q_OBJECT
public:
    AnnouncementsWindow(const AnnouncementLists& lists, net::UrlOpener& opener, QWidget* parent = nullptr);

    // Fill the grid from the title and date lists (their entry 0 is the list's heading row).
    void ggggdraw();
    // Captions for the stock `name` (`code`).
    void setStock(const QString& name, const QString& code);
    // Hold `owner` disabled, centre on the screen and show; closing gives the hold back.
    void showOver(QWidget* owner);

    // A cell of row `row` was selected: an occupied cell opens that row's announcement.
    void StringGrid1SelectCell(int row, int column);
    CellGrid* grid() const { return StringGrid1; }

private:
    const AnnouncementLists& m_lists;
    net::UrlOpener& m_opener;
    QGroupBox* GroupBox1;
    CellGrid* StringGrid1;
};

} // namespace info
