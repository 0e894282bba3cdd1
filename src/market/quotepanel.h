// The main window's quote panel: latest price, change, best bid and ask, volume, amount, open,
// high, low and the last trade of the current stock; and the index banner across the top.
#pragma once

#include "market/quote.h"

#include <QLabel>
#include <QWidget>

namespace market {

class QuotePanel : public QWidget {
    Q_OBJECT
public:
    explicit QuotePanel(QWidget* parent = nullptr);

    // Binds one record: texts and colours as quotePanelUpdates() decides.
    void showQuote(const StockQuote& quote);
    void apply(const QList<LabelUpdate>& updates);
    // Label29 back to its first text and colour: the last trade shown belonged to another stock.
    void clearLastTrade();

    const StockQuote& lastQuote() const { return m_last; }
    static QColor toneColour(Tone tone);

private:
    QLabel* value(const QString& name) const;
    StockQuote m_last;
};

// The top banner (Panel4): one index summary line, white on black like a market board, the text
// bright green while that line's index falls and red otherwise.
class IndexBanner : public QLabel {
    Q_OBJECT
public:
    explicit IndexBanner(QWidget* parent = nullptr);
    void showLine(const QString& line, bool falling);
};

} // namespace market
