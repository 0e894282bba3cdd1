#include "info/companioncontroller.h"

#include "core/appstate.h"
#include "core/clock.h"
#include "core/companion.h"
#include "core/guard.h"
#include "core/settings.h"
#include "core/stockticket.h"
#include "info/blogcontroller.h"
#include "net/codecs.h"
#include "net/httpclient.h"
#include "net/urlopener.h"
#include "widgets/widgets.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QScopedValueRollback>

namespace info {

CompanionPagesController::CompanionPagesController(app::AppState& state, const app::Settings& settings,
                                                   app::Clock& clock, app::Prompter& prompter,
                                                   net::UrlOpener& opener, net::HttpClient& IdHTTP3,
                                                   net::HttpClient& IdHTTP5, BlogController& blogs,
                                                   std::function<void(const QString&)> showOnlineCount,
                                                   QWidget* parent)
    : m_state(state), m_settings(settings), m_clock(clock), m_prompter(prompter), m_opener(opener),
      m_IdHTTP3(IdHTTP3), m_IdHTTP5(IdHTTP5), m_IdHTTP6(new net::HttpClient(QStringLiteral("IdHTTP6"), this)),
      m_blogs(blogs), m_showOnlineCount(std::move(showOnlineCount))
{
    m_combo = new app::ChoiceBox(QStringLiteral("ComboBox1"), parent);
    m_combo->installEventFilter(this);
    m_combo->view()->installEventFilter(this);
    connect(m_combo, &QComboBox::activated, this, [this](int index) {
        app::guarded(m_prompter, [&] { ComboBox1Change(index); });
    });

    auto link = [&](const char* name, const QString& text, const QString& hint, void (CompanionPagesController::*click)()) {
        auto* label = new app::ClickLabel(QString::fromLatin1(name), text, app::ClickLabel::Hover::Link, parent);
        label->setToolTip(hint);
        connect(label, &app::ClickLabel::clicked, this, [this, click] {
            app::guarded(m_prompter, [&] { (this->*click)(); });
        });
        return label;
    };
    m_refresh = link("Label11", QStringLiteral("刷 新"), QString(), &CompanionPagesController::Label11Click);
    m_today = link("Label31", QStringLiteral("今日重要信息"), QStringLiteral("今日重要信息"),
                   &CompanionPagesController::Label31Click);
    m_yesterday = link("Label32", QStringLiteral("昨日财经信息"), QStringLiteral("昨日财经信息大全"),
                       &CompanionPagesController::Label32Click);
}

CompanionPagesController::~CompanionPagesController() = default;

void CompanionPagesController::readzhpj()
{
    const app::StockTicket ticket(m_state);
    QByteArray reply;
    try {
        reply = m_IdHTTP3.get(m_state.ServerBase + QStringLiteral("/gpreadzhpj.asp"));
    } catch (const net::HttpFailure&) {
        throw SilentAbort{};
    }
    // A code change during the wait rebuilt the list for its own code.
    if (!ticket.current())
        return;
    const SiteEvaluations sites = parseSiteEvaluations(reply, ticket.code());
    m_addresses = sites.addresses;
    m_names = sites.names;
    m_combo->clear();
    m_combo->addItems(m_names);
}

void CompanionPagesController::ComboBox1Change(int index)
{
    if (index >= 0 && index < m_addresses.size())
        m_opener.open(m_addresses[index]);
}

bool CompanionPagesController::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress)
        return true;
    return QObject::eventFilter(watched, event);
}

void CompanionPagesController::Label11Click()
{
    // A second click while the count loads does nothing: one request, at most one error box.
    if (m_refreshing)
        return;
    const QScopedValueRollback refreshing(m_refreshing, true);
    try {
        readOnlineCount(*m_IdHTTP6);
    } catch (const net::HttpFailure&) {
        m_prompter.error(QStringLiteral("刷新失败，请稍后再试!"));
        throw SilentAbort{};
    }
}

void CompanionPagesController::readtoday()
{
    m_blogs.loadDirectory();
    try {
        m_IdHTTP3.get(m_state.ServerBase + QStringLiteral("/gpall.asp"));
        readOnlineCount(m_IdHTTP3);
    } catch (const net::HttpFailure&) {
        throw SilentAbort{};
    }
}

void CompanionPagesController::tenthTickOnlineCount()
{
    if (m_state.MinuteTickCount % 10 != 0)
        return;
    try {
        readOnlineCount(m_IdHTTP5);
    } catch (const net::HttpFailure&) {
        throw SilentAbort{};
    }
}

void CompanionPagesController::readOnlineCount(net::HttpClient& client)
{
    const QByteArray reply = client.get(m_state.ServerBase + QStringLiteral("/gpreadall.asp"));
    if (const std::optional<QString> count = app::onlineCount(net::fromGbk(reply)); count && m_showOnlineCount)
        m_showOnlineCount(*count);
}

void CompanionPagesController::showLinkCaptions()
{
    m_today->setText(QStringLiteral("今日重大信息"));
    m_yesterday->setText(QStringLiteral("昨日财经要闻"));
}

void CompanionPagesController::Label31Click()
{
    m_opener.open(m_blogs.todayLink());
}

void CompanionPagesController::Label32Click()
{
    m_opener.open(dailyIndexAddress(m_settings.QqFinanceBase, m_clock.now().date()));
}

} // namespace info
