// The current stock's market data on the main window: the quote panel, the stock-name lookup and
// the index page behind the banner's two summary lines, all read from the quote service.
#pragma once

#include <QObject>
#include <QString>

class QWidget;

namespace app {
class Prompter;
struct AppState;
struct Settings;
}
namespace net { class HttpClient; }

namespace market {

class IndexBanner;
class QuotePanel;
struct IndexSummary;

class MarketController : public QObject {
    Q_OBJECT
public:
    // `IdHTTP1` is the main window's client, shared with the status check and the TV directory;
    // `index` holds the banner's lines and the ticker's index rows for the whole run.
    MarketController(app::AppState& state, const app::Settings& settings, app::Prompter& prompter,
                     IndexSummary& index, net::HttpClient& IdHTTP1, QWidget* parent);

    // The controls this controller fills; the main window places them.
    QuotePanel* quotePanel() const { return m_quotePanel; }   // Panel3 and Panel1
    IndexBanner* banner() const { return m_banner; }               // Panel4

    // The banner tick `count`: its summary line, bright green while that line's index falls and
    // red otherwise.
    void showBanner(int count);

    // The stock name for `code` from the quote service; empty when it is unknown. Sets
    // CurrentName when a name is found. A network failure shows a message and aborts silently.
    QString yzgp(const QString& code);
    // Fetch the index page and rebuild the two summary lines; aborts silently on failure.
    void getvtzs();
    // Fetch the quote for `code` and fill the quote panel; aborts silently on failure, and when a
    // code change overtook the request.
    void getvtdate(const QString& code);
    // A new stock: the quote panel forgets the last trade of the one before, which the new stock's
    // quotes may not replace for a while (a line without the last trade keeps the label).
    void clearLastTrade();

Q_SIGNALS:
    // getvtzs read an index page into the index summary (the ticker's index cells follow it).
    void indexSummaryUpdated();

private:
    app::AppState& m_state;
    const app::Settings& m_settings;
    app::Prompter& m_prompter;
    IndexSummary& m_index;
    net::HttpClient& IdHTTP1;
    QuotePanel* m_quotePanel;
    IndexBanner* m_banner;
};

} // namespace market
