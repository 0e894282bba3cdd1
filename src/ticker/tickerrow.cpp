#include "ticker/tickerrow.h"

namespace ticker {

RowTexts rowTexts(const market::StockQuote& quote)
{
    using F = market::StockQuote;
    RowTexts row;
    auto put = [&](Column column, F::Field field, const QString& text) {
        if (quote.has(field))
            row.cells[column] = text;
    };
    put(NameColumn, F::Name, quote.name);
    put(LastColumn, F::LastPrice, quote.lastPrice);
    put(PercentColumn, F::ChangePercent, quote.changePercent);
    put(HighColumn, F::HighPrice, quote.highPrice);
    put(LowColumn, F::LowPrice, quote.lowPrice);
    put(VolumeColumn, F::Volume, quote.volume + QStringLiteral("手"));
    if (quote.has(F::ChangePercent))
        row.falling = quote.isFalling();
    return row;
}

RefreshStep refreshStep(int cursor, int rowCount)
{
    if (cursor < 0 || cursor >= rowCount)
        return {-1, 0};
    return {cursor, cursor + 1};
}

} // namespace ticker
