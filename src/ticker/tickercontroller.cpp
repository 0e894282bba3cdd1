#include "ticker/tickercontroller.h"

#include "core/calendar.h"
#include "core/clock.h"
#include "core/guard.h"
#include "core/settings.h"
#include "market/quote.h"
#include "net/httpclient.h"
#include "store/alertlists.h"

#include <QTimer>

namespace ticker {

TickerController::TickerController(const store::AlertLists& lists, const market::IndexSummary& index,
                                   const app::Settings& settings, app::Clock& clock,
                                   app::Prompter& prompter, QObject* parent)
    : QObject(parent), m_lists(lists), m_index(index), m_settings(settings), m_clock(clock),
      m_prompter(prompter), m_window(std::make_unique<TickerWindow>())
{
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &TickerController::Timer1Timer);
    // A quote that never comes delays only the ticker, and for 30 seconds at most.
    m_http = new net::HttpClient(QStringLiteral("IdHTTPticker"), this);
    m_http->setReadTimeout(net::kDefaultReadTimeoutMs);
    connect(m_window.get(), &TickerWindow::closeRequested, this, [this] {
        if (m_shown)
            N13Click();
    });
    showIndices();
}

TickerController::~TickerController() = default;

void TickerController::N13Click()
{
    if (m_shown) {
        m_shown = false;
        Timer1->stop();
        m_window->hide();
    } else {
        if (!TickerBuilt)
            buildRows();
        m_shown = true;
        m_window->showOnTop();
        if (shouldRun() && !m_busy)
            Timer1->start();
    }
    Q_EMIT shownChanged(m_shown);
}

void TickerController::rebuildRows()
{
    buildRows();
}

void TickerController::buildRows()
{
    m_rowCodes = m_lists.AlertCodes;
    m_window->buildRows(int(m_rowCodes.size()));
    ++m_buildCount;
    TickerBuilt = true;
}

void TickerController::pause()
{
    m_paused = true;
    Timer1->stop();
}

void TickerController::resume()
{
    m_paused = false;
    if (shouldRun() && !m_busy)
        Timer1->start();
}

void TickerController::showIndices()
{
    m_window->showIndexRow(0, m_index.shanghai);
    m_window->showIndexRow(1, m_index.shenzhen);
}

void TickerController::Timer1Timer()
{
    if (m_busy)
        return;   // the running tick starts the timer again when it ends
    Timer1->stop();
    m_busy = true;
    app::guarded(m_prompter, [this] {
        const QDateTime now = m_clock.now();
        m_window->setDateTimeText(app::dateText(now.date()) + u' ' + app::timeText(now.time()));
        // The rows refreshed are the ones built: a stock added since (say, in the settings
        // dialog without saving) is neither fetched nor written.
        const RefreshStep step = refreshStep(m_cursor, int(m_rowCodes.size()));
        m_cursor = step.nextCursor;
        if (step.fetchRow < 0)
            return;
        const quint64 build = m_buildCount;
        market::StockQuote quote;
        try {
            quote = market::fetchQuote(*m_http, m_settings.QuoteServiceBase, m_rowCodes[step.fetchRow]);
        } catch (const net::HttpFailure&) {
            return;   // the row keeps its texts; the next tick goes on with the next stock
        }
        if (build == m_buildCount)
            m_window->fillRow(step.fetchRow, rowTexts(quote));
    });
    m_busy = false;
    // A switch-off or a pause that came while the quote was awaited stays in force.
    if (shouldRun())
        Timer1->start();
}

} // namespace ticker
