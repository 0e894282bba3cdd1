// The main window's quote panel: latest price, change, best bid and ask, volume, amount, open,
// high, low and the last trade of the current stock.
#pragma once

#include "market/quote.h"

#include <QWidget>

class QLabel;

namespace market {

class QuotePanel : public QWidget {
    Q_OBJECT
public:
    explicit QuotePanel(QWidget* parent = nullptr);

    // Binds one record: texts and colours as quotePanelUpdates() decides.
    void showQuote(const StockQuote& quote);
    void apply(const QList<LabelUpdate>& updates);

    const StockQuote& lastQuote() const { return m_last; }
    static QColor toneColour(Tone tone);

private:
    QLabel* value(const QString& name) const;
    StockQuote m_last;
};

} // namespace market
