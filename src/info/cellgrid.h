// A text grid whose first row is a fixed header and whose rows are selected whole. The header row
// stays in sight when the grid scrolls: a view of the same row lies over the top of the grid, and
// the rows scrolled past slide under it. The grid reports each selection the user makes, by mouse
// or keyboard, once; selections made by the program, or by the view itself when it gets the focus,
// are not reported.
#pragma once

#include <QColor>
#include <QTableWidget>

namespace info {

class CellGrid : public QTableWidget {
    Q_OBJECT
public:
    CellGrid(const QString& name, const QList<int>& widths, int rowHeight, QWidget* parent = nullptr);

    // Clears every cell, leaves the header row and one empty row, and writes the header texts.
    void resetRows(const QStringList& header);
    // Writes `cells` into row `row`, growing the grid when needed. Texts are plain, centred.
    void setRow(int row, const QStringList& cells);
    // Appends one empty row (cells present but empty).
    void appendEmptyRow();
    // Selects row `row` without reporting it.
    void selectRowQuietly(int row);
    // The cell's text; empty for a cell that does not exist.
    QString cellText(int row, int column) const;
    // Paints the data rows' backgrounds (the header row keeps `header`).
    void setRowBackground(int row, const QColor& colour);

    QColor headerColour;

Q_SIGNALS:
    void cellSelected(int row, int column);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void updateGeometries() override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;

private:
    void fillRow(int row);
    void placeHeaderView();
    QTableView* m_headerView = nullptr;   // shows row 0 only, over the top of the viewport
    bool m_quiet = false;
    bool m_reported = false;   // the press that moved the current cell was reported already
    bool m_userInput = false;  // a mouse or key event of the user is being handled
};

} // namespace info
