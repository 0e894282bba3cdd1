// What the desktop ticker shows: the texts of a stock row for one quote reply, and which stock a
// refresh tick fetches.
#pragma once

#include "market/quote.h"

#include <QString>
#include <array>
#include <optional>

namespace ticker {

// The six cells of a stock row, left to right.
enum Column { NameColumn, LastColumn, PercentColumn, HighColumn, LowColumn, VolumeColumn, ColumnCount };

// One row's new texts. A cell whose field the reply did not carry keeps what it showed (no text
// here); the colour is decided only when the change percent arrived.
struct RowTexts {
    std::array<std::optional<QString>, ColumnCount> cells;
    std::optional<bool> falling;   // true: the five value cells turn green, false: red
};

RowTexts rowTexts(const market::StockQuote& quote);

// What one refresh tick does with the row cursor: fetch row `fetchRow` (-1: nothing this second)
// and leave the cursor at `nextCursor`. Past the last row the cursor goes back to 0 and the
// tick stays idle, so a pass over n stocks takes n + 1 seconds.
struct RefreshStep {
    int fetchRow = -1;
    int nextCursor = 0;
};

RefreshStep refreshStep(int cursor, int rowCount);

} // namespace ticker
