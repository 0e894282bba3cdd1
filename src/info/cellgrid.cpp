#include "info/cellgrid.h"

#include <QHeaderView>

namespace info {

CellGrid::CellGrid(const QString& name, const QList<int>& widths, int rowHeight, QWidget* parent)
    : QTableWidget(2, int(widths.size()), parent)
{
    setObjectName(name);
    horizontalHeader()->hide();
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(rowHeight);
    verticalHeader()->setDefaultSectionSize(rowHeight);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    for (int c = 0; c < widths.size(); ++c)
        setColumnWidth(c, widths[c]);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setWordWrap(false);
    setTextElideMode(Qt::ElideNone);
    // A selected row is navy on sky blue, whether or not the grid has the focus.
    QPalette p = palette();
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::Highlight, QColor(166, 202, 240));
        p.setColor(group, QPalette::HighlightedText, QColor(0, 0, 128));
    }
    setPalette(p);
    headerColour = p.color(QPalette::Button);

    connect(this, &QTableWidget::currentCellChanged, this, [this](int row, int column, int, int) {
        if (m_quiet || row < 1)
            return;
        m_reported = true;
        Q_EMIT cellSelected(row, column);
    });
    // A click on the cell that is already current moves nothing, yet it is a selection too.
    connect(this, &QTableWidget::cellClicked, this, [this](int row, int column) {
        if (!m_reported && row >= 1)
            Q_EMIT cellSelected(row, column);
        m_reported = false;
    });
}

void CellGrid::mousePressEvent(QMouseEvent* event)
{
    m_reported = false;   // set again if this press moves the current cell
    QTableWidget::mousePressEvent(event);
}

void CellGrid::fillRow(int row)
{
    for (int c = 0; c < columnCount(); ++c) {
        if (!item(row, c)) {
            auto* cell = new QTableWidgetItem;
            cell->setTextAlignment(Qt::AlignCenter);
            if (row == 0) {
                cell->setFlags(Qt::ItemIsEnabled);
                cell->setBackground(headerColour);
            }
            setItem(row, c, cell);
        }
    }
}

void CellGrid::resetRows(const QStringList& header)
{
    m_quiet = true;
    clearContents();
    setRowCount(2);
    m_quiet = false;
    fillRow(0);
    fillRow(1);
    for (int c = 0; c < columnCount(); ++c)
        item(0, c)->setText(header.value(c));
}

void CellGrid::setRow(int row, const QStringList& cells)
{
    if (row >= rowCount())
        setRowCount(row + 1);
    fillRow(row);
    for (int c = 0; c < columnCount(); ++c)
        item(row, c)->setText(cells.value(c));
}

void CellGrid::appendEmptyRow()
{
    setRowCount(rowCount() + 1);
    fillRow(rowCount() - 1);
}

void CellGrid::selectRowQuietly(int row)
{
    m_quiet = true;
    setCurrentCell(row, currentColumn() < 0 ? 0 : currentColumn());
    selectRow(row);
    m_quiet = false;
}

QString CellGrid::cellText(int row, int column) const
{
    const QTableWidgetItem* cell = item(row, column);
    return cell ? cell->text() : QString();
}

void CellGrid::setRowBackground(int row, const QColor& colour)
{
    if (row < 1 || row >= rowCount())
        return;
    fillRow(row);
    for (int c = 0; c < columnCount(); ++c)
        item(row, c)->setBackground(colour);
}

} // namespace info
