#include "info/cellgrid.h"

#include <QHeaderView>
#include <QScopedValueRollback>
#include <QScrollBar>

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

    m_headerView = new QTableView(this);
    m_headerView->setObjectName(name + QStringLiteral("Header"));
    m_headerView->setModel(model());
    m_headerView->setFocusPolicy(Qt::NoFocus);
    m_headerView->setSelectionMode(QAbstractItemView::NoSelection);
    m_headerView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_headerView->setFrameShape(QFrame::NoFrame);
    m_headerView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_headerView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_headerView->horizontalHeader()->hide();
    m_headerView->verticalHeader()->hide();
    m_headerView->verticalHeader()->setMinimumSectionSize(rowHeight);
    m_headerView->verticalHeader()->setDefaultSectionSize(rowHeight);
    m_headerView->setWordWrap(false);
    m_headerView->setTextElideMode(Qt::ElideNone);
    for (int c = 0; c < widths.size(); ++c)
        m_headerView->setColumnWidth(c, widths[c]);
    connect(horizontalHeader(), &QHeaderView::sectionResized, m_headerView,
            [this](int column, int, int width) { m_headerView->setColumnWidth(column, width); });
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, m_headerView->horizontalScrollBar(),
            &QScrollBar::setValue);
    viewport()->stackUnder(m_headerView);

    // Only a move the user makes with the mouse or the keyboard is a selection; the view's own
    // moves (the first data row becoming current when the grid gets the focus, rows removed) are not.
    connect(this, &QTableWidget::currentCellChanged, this, [this](int row, int column, int, int) {
        if (m_quiet || !m_userInput || row < 1)
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
    const QScopedValueRollback user(m_userInput, true);
    QTableWidget::mousePressEvent(event);
}

void CellGrid::mouseMoveEvent(QMouseEvent* event)
{
    const QScopedValueRollback user(m_userInput, true);   // dragging over the rows with a button held
    QTableWidget::mouseMoveEvent(event);
}

void CellGrid::keyPressEvent(QKeyEvent* event)
{
    const QScopedValueRollback user(m_userInput, true);
    QTableWidget::keyPressEvent(event);
}

void CellGrid::resizeEvent(QResizeEvent* event)
{
    QTableWidget::resizeEvent(event);
    placeHeaderView();
}

void CellGrid::updateGeometries()
{
    QTableWidget::updateGeometries();
    placeHeaderView();
}

void CellGrid::scrollTo(const QModelIndex& index, ScrollHint hint)
{
    QTableWidget::scrollTo(index, hint);
    // A row brought into view at the very top would lie under the header row: scroll on until it
    // shows below it.
    QScrollBar* bar = verticalScrollBar();
    while (index.row() > 0 && visualRect(index).top() < rowHeight(0) && bar->value() > bar->minimum())
        bar->setValue(bar->value() - 1);
}

QModelIndex CellGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    const QModelIndex next = QTableWidget::moveCursor(action, modifiers);
    // The header row is never the current row: the keyboard stops at the first data row.
    if (next.isValid() && next.row() == 0 && rowCount() > 1)
        return model()->index(1, next.column());
    return next;
}

void CellGrid::placeHeaderView()
{
    if (!m_headerView)
        return;   // a geometry update from the table's own construction
    const QRect area = viewport()->geometry();
    m_headerView->setGeometry(area.left(), area.top(), area.width(), rowHeight(0));
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
