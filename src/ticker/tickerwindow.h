// The desktop ticker window: a small borderless, translucent, always-on-top window with the two
// index rows and one row per watched stock.
#pragma once

#include "market/indexsummary.h"
#include "ticker/tickerrow.h"

#include <QFrame>
#include <QList>
#include <QPoint>

class QLabel;

namespace ticker {

class TickerWindow : public QFrame {
    Q_OBJECT
public:
    // Window opacity: 80 of 255. Without a compositing window manager the window is opaque.
    static constexpr double kOpacity = 80.0 / 255.0;
    static constexpr int kWidth = 372;   // wider only when the font needs it
    static constexpr int kNameWidth = 58;
    static constexpr int kRowPitch = 20;
    static constexpr int kFirstRowTop = 92;   // just below the stock column headings

    // Owned by no other window: hiding or minimising the main window leaves the ticker.
    TickerWindow();

    // Top right of the screen: left = free screen width - window width, top = 30.
    void placeTopRight();
    // Shows the window, brought to the front and on top, keeping its position and size.
    void showOnTop();

    // Writes one index row (0 Shanghai, 1 Shenzhen): white text on red, or on green when falling.
    void showIndexRow(int which, const market::TickerIndexRow& row);
    void setDateTimeText(const QString& text);

    // Discards every built cell and creates six hidden cells per row for `rows` stocks; the
    // window grows or shrinks to show them all.
    void buildRows(int rows);
    int builtRows() const { return int(TickerLabels.size() / ColumnCount); }
    // Fills built row `row`; cells get visible when first filled.
    void fillRow(int row, const RowTexts& texts);
    QLabel* cell(int row, Column column) const;

Q_SIGNALS:
    // The window was asked to close (e.g. by the window manager's close key).
    void closeRequested();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QList<QLabel*> TickerLabels;   // six cells per built row, in watched-list order
    QLabel* m_index[2][4] = {};    // value, change, change percent, amount
    QLabel* m_dateTime = nullptr;  // Label20
    int m_width = kWidth;
    bool m_dragging = false;       // moving by hand where the platform cannot move the window
    QPoint m_grab;                 // press position inside the window
};

} // namespace ticker
