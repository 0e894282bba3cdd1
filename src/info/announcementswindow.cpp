#include "info/announcementswindow.h"

#include "info/cellgrid.h"
#include "net/urlopener.h"
#include "widgets/widgets.h"
#include "widgets/windowholds.h"

#include <QCloseEvent>
#include <QGroupBox>

namespace info {

AnnouncementsWindow::AnnouncementsWindow(const AnnouncementLists& lists, net::UrlOpener& opener,
                                         QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), m_lists(lists), m_opener(opener)
{
    setObjectName(QStringLiteral("TForm2"));
    setWindowTitle(QStringLiteral("所有公告"));
    setFixedSize(713, 318);
    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(4, 2, 705, 312);
    StringGrid1 = new CellGrid(QStringLiteral("StringGrid1"), {34, 546, 100}, 16, GroupBox1);
    StringGrid1->setGeometry(6, 18, 693, 288);
    StringGrid1->viewport()->setCursor(Qt::PointingHandCursor);
    connect(StringGrid1, &CellGrid::cellSelected, this, &AnnouncementsWindow::StringGrid1SelectCell);
    ggggdraw();
}

void AnnouncementsWindow::ggggdraw()
{
    StringGrid1->resetRows({QString(), QStringLiteral("公告内容"), QStringLiteral("发布日期")});
    for (int r = 1; r < m_lists.titles.size(); ++r) {
        StringGrid1->setRow(r, {QString::number(r), m_lists.titles[r], m_lists.dates.value(r)});
        StringGrid1->appendEmptyRow();
    }
}

void AnnouncementsWindow::setStock(const QString& name, const QString& code)
{
    const QString stock = name + QStringLiteral("(") + code + QStringLiteral(")");
    setWindowTitle(stock + QStringLiteral(" 的所有公告"));
    GroupBox1->setTitle(stock + QStringLiteral(" 的所有公告（数据来自沪深证券交易所）单击查看公告内容"));
}

void AnnouncementsWindow::showOver(QWidget* owner)
{
    if (owner)
        app::WindowHolds::of(*owner).take(*this);
    app::centreOnScreen(this);
    show();
    raise();
    activateWindow();
}

void AnnouncementsWindow::StringGrid1SelectCell(int row, int column)
{
    if (StringGrid1->cellText(row, column).isEmpty())
        return;
    if (row >= 0 && row < m_lists.addresses.size())
        m_opener.open(m_lists.addresses[row]);
}

} // namespace info
