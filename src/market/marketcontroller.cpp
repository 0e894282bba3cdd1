#include "market/marketcontroller.h"

#include "core/appstate.h"
#include "core/prompter.h"
#include "core/settings.h"
#include "core/stockcode.h"
#include "core/stockticket.h"
#include "market/indexsummary.h"
#include "market/quote.h"
#include "market/quotepanel.h"
#include "net/failure.h"


namespace market {

MarketController::MarketController(app::AppState& state, const app::Settings& settings,
                                   app::Prompter& prompter, IndexSummary& index,
                                   net::HttpClient& IdHTTP1, QWidget* parent)
    : QObject(parent), m_state(state), m_settings(settings), m_prompter(prompter), m_index(index),
      IdHTTP1(IdHTTP1), m_quotePanel(new QuotePanel(parent)), m_banner(new IndexBanner(parent))
{
}

void MarketController::showBanner(int count)
{
    m_banner->showLine(m_index.bannerLine(count), m_index.bannerFalling(count));
}

QString MarketController::yzgp(const QString& code)
{
    StockQuote quote;
    try {
        quote = fetchQuote(IdHTTP1, m_settings.QuoteServiceBase, code);
    } catch (const net::HttpFailure&) {
        m_prompter.error(QStringLiteral("网络错误,请稍后再试。"));
        throw SilentAbort{};
    }
    if (!quote.name.isEmpty())
        m_state.CurrentName = quote.name;
    return quote.name;
}

void MarketController::getvtzs()
{
    bool complete = false;
    try {
        complete = fetchIndexSummary(IdHTTP1, m_settings.QuoteServiceBase, m_index);
    } catch (const net::HttpFailure&) {
        throw SilentAbort{};
    }
    // The desktop ticker's index cells follow every page that arrived, also one whose amount
    // was not a number (the cells before it were already read).
    Q_EMIT indexSummaryUpdated();
    if (!complete)
        throw SilentAbort{};
}

void MarketController::getvtdate(const QString& code)
{
    const app::StockTicket ticket(m_state);
    StockQuote quote;
    try {
        quote = fetchQuote(IdHTTP1, m_settings.QuoteServiceBase, code);
    } catch (const net::HttpFailure&) {
        throw SilentAbort{};
    }
    // A code change while the request waited: this quote is for a stock no longer shown.
    ticket.ensureCurrent();
    if (quote.has(StockQuote::Code) && app::isStockCode(quote.code))
        m_state.CurrentCode = quote.code;
    if (quote.has(StockQuote::Name))
        m_state.CurrentName = quote.name;
    m_quotePanel->showQuote(quote);
}

void MarketController::clearLastTrade()
{
    m_quotePanel->clearLastTrade();
}

} // namespace market
