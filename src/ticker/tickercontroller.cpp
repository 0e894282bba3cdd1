#include "ticker/tickercontroller.h"

#include "core/calendar.h"
#include "core/clock.h"
#include "core/guard.h"
#include "core/settings.h"
#include "market/quote.h"
#include "net/codecs.h"
#include "net/httpclient.h"
#include "store/alertlists.h"

#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkReply>
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
    Timer1->setInterval(m_clock.timerInterval(1000));
    connect(Timer1, &QTimer::timeout, this, &TickerController::Timer1Timer);
    // A quote that never comes delays only the ticker, and for 30 seconds at most.
    m_network = new QNetworkAccessManager(this);
    m_network->setObjectName(QStringLiteral("IdHTTPticker"));
    m_network->setCookieJar(new QNetworkCookieJar(m_network));
    m_readTimeoutMs = net::kDefaultReadTimeoutMs;
    connect(m_window.get(), &TickerWindow::closeRequested, this, [this] {
        if (m_shown)
            N13Click();
    });
    showIndices();
}

TickerController::~TickerController()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

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
        if (shouldRun() && !waiting())
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
    if (shouldRun() && !waiting())
        Timer1->start();
}

void TickerController::showIndices()
{
    m_window->showIndexRow(0, m_index.shanghai);
    m_window->showIndexRow(1, m_index.shenzhen);
}

void TickerController::Timer1Timer()
{
    if (waiting())
        return;   // the quote on its way starts the timer again when it is handled
    Timer1->stop();
    app::guarded(m_prompter, [this] {
        const QDateTime now = m_clock.now();
        m_window->setDateTimeText(app::dateText(now.date()) + u' ' + app::timeText(now.time()));
        // The rows refreshed are the ones built: a stock added since (say, in the settings
        // dialog without saving) is neither fetched nor written.
        const RefreshStep step = refreshStep(m_cursor, int(m_rowCodes.size()));
        m_cursor = step.nextCursor;
        if (step.fetchRow >= 0)
            fetchRow(step.fetchRow);
    });
    if (!waiting() && shouldRun())
        Timer1->start();
}

void TickerController::fetchRow(int row)
{
    const QString address = market::quoteAddress(m_settings.QuoteServiceBase, m_rowCodes[row]);
    QNetworkReply* reply = m_network->get(net::makeRequest(address, m_readTimeoutMs));
    m_reply = reply;
    const auto overCap = net::capBody(reply, net::kMaxBodyBytes);
    const quint64 build = m_buildCount;
    connect(reply, &QNetworkReply::finished, this, [this, reply, overCap, row, build] {
        reply->deleteLater();
        m_reply = nullptr;
        app::guarded(m_prompter, [&] {
            // A failed quote leaves the row as it was; rows rebuilt meanwhile are not this
            // reply's rows any more.
            if (net::replyFailure(reply, *overCap).isEmpty() && build == m_buildCount)
                m_window->fillRow(row, rowTexts(market::parseQuote(net::fromUtf8(reply->readAll()))));
        });
        // A switch-off or a pause that came while the quote was awaited stays in force.
        if (shouldRun())
            Timer1->start();
    });
}

} // namespace ticker
