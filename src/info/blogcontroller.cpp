#include "info/blogcontroller.h"

#include "core/appstate.h"
#include "core/calendar.h"
#include "core/clock.h"
#include "core/guard.h"
#include "core/settings.h"
#include "core/stockticket.h"
#include "info/blogsearch.h"
#include "info/newsflash.h"
#include "net/codecs.h"
#include "net/httpclient.h"
#include "net/urlopener.h"
#include "widgets/widgets.h"

#include <QComboBox>
#include <QPainter>
#include <QScopedValueRollback>
#include <QTimer>

namespace info {

namespace {

constexpr QStringView kNoMention = u"目前没有发现任何博客提及该股";
constexpr QStringView kNotFound = u"(未找到)";
constexpr QStringView kFound = u"【找到】";
constexpr int kNewsEvery = 20;   // the news flash on every twentieth counted tick

enum class Picture { Neutral, Unseen, Seen, News, NewNews };

// The small pictures beside the mention line and the news-flash line; they carry no text.
QPixmap drawPicture(Picture kind, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    switch (kind) {
    case Picture::Neutral:   // a grey page: nothing found
    case Picture::Unseen:    // a page with a red flag: a mention not yet looked at
    case Picture::Seen:      // a page with a green tick: a mention the user opened
        p.setPen(QPen(QColor(90, 90, 90), 1));
        p.setBrush(kind == Picture::Neutral ? QColor(225, 225, 225) : Qt::white);
        p.drawRect(QRectF(s * 0.15, s * 0.08, s * 0.6, s * 0.84));
        if (kind == Picture::Unseen) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(230, 0, 0));
            p.drawEllipse(QRectF(s * 0.5, s * 0.05, s * 0.45, s * 0.45));
        } else if (kind == Picture::Seen) {
            p.setPen(QPen(QColor(0, 150, 0), s / 8));
            p.drawPolyline(QPolygonF({QPointF(s * 0.3, s * 0.5), QPointF(s * 0.45, s * 0.7),
                                      QPointF(s * 0.85, s * 0.2)}));
        }
        break;
    case Picture::News:      // a navy loudspeaker
    case Picture::NewNews: { // the same in red with a burst: an item not yet opened
        const QColor colour = kind == Picture::News ? QColor(0, 0, 128) : QColor(220, 0, 0);
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawPolygon(QPolygonF({QPointF(s * 0.1, s * 0.35), QPointF(s * 0.3, s * 0.35),
                                 QPointF(s * 0.6, s * 0.1), QPointF(s * 0.6, s * 0.9),
                                 QPointF(s * 0.3, s * 0.65), QPointF(s * 0.1, s * 0.65)}));
        p.setPen(QPen(colour, s / 12));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(s * 0.5, s * 0.3, s * 0.3, s * 0.4), -60 * 16, 120 * 16);
        if (kind == Picture::NewNews)
            p.drawArc(QRectF(s * 0.45, s * 0.15, s * 0.5, s * 0.7), -60 * 16, 120 * 16);
        break;
    }
    }
    return pixmap;
}

QLabel* picture(QWidget* parent, const char* name, Picture kind, bool visible)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setPixmap(drawPicture(kind, 18));
    label->setFixedSize(20, 20);
    label->setAlignment(Qt::AlignCenter);
    label->setVisible(visible);
    return label;
}

} // namespace

BlogController::BlogController(app::AppState& state, const app::Settings& settings, app::Clock& clock,
                               app::Prompter& prompter, net::UrlOpener& opener,
                               net::HttpClient& IdHTTP3, Hooks hooks, QWidget* parent)
    : m_state(state), m_settings(settings), m_clock(clock), m_prompter(prompter), m_opener(opener),
      m_IdHTTP3(IdHTTP3), m_IdHTTP4(new net::HttpClient(QStringLiteral("IdHTTP4"), this)),
      m_hooks(std::move(hooks))
{
    m_combo = new app::ChoiceBox(QStringLiteral("ComboBox2"), parent);
    connect(m_combo, &QComboBox::activated, this, [this](int index) {
        app::guarded(m_prompter, [&] { ComboBox2Change(index); });
    });
    m_mention = new QLabel(kNoMention.toString(), parent);
    m_mention->setObjectName(QStringLiteral("Label41"));
    m_mention->setTextFormat(Qt::PlainText);
    m_none = picture(parent, "Image9", Picture::Neutral, true);
    m_unseen = picture(parent, "Image10", Picture::Unseen, false);
    m_seenPicture = picture(parent, "Image12", Picture::Seen, false);

    m_news = new app::ClickLabel(QStringLiteral("Label48"), QStringLiteral("快讯(正在搜索......)"),
                                 app::ClickLabel::Hover::Link, parent);
    connect(m_news, &app::ClickLabel::clicked, this, [this] {
        app::guarded(m_prompter, [this] { Label48Click(); });
    });
    m_newsIcon = picture(parent, "Image1", Picture::News, true);
    m_newsNewIcon = picture(parent, "Image19", Picture::NewNews, false);
}

BlogController::~BlogController() = default;

void BlogController::loadDirectory()
{
    QByteArray reply;
    try {
        reply = m_IdHTTP3.get(m_state.ServerBase + QStringLiteral("/gpreadtoady1.asp"));
    } catch (const net::HttpFailure&) {
        throw SilentAbort{};
    }
    const BlogDirectory dir = parseBlogDirectory(reply);
    m_todayLink = dir.todayLink;
    m_addresses = dir.addresses;
    m_names = dir.names;
    m_seen = QStringList(m_names.size(), QStringLiteral("0"));
    fillCombo();
}

void BlogController::fillCombo()
{
    QStringList items;
    items.reserve(m_names.size());
    for (const QString& name : std::as_const(m_names))
        items.append(name + kNotFound.toString());
    m_combo->clear();
    m_combo->addItems(items);
}

void BlogController::resetDisplay()
{
    fillCombo();
    m_seen = QStringList(m_names.size(), QStringLiteral("0"));
    showPictures(m_none);
    m_mention->setText(kNoMention.toString());
}

void BlogController::showPictures(QLabel* visible)
{
    for (QLabel* label : {m_none, m_unseen, m_seenPicture})
        label->setVisible(label == visible);
}

void BlogController::Timer5Timer(QTimer& Timer5)
{
    if (m_state.CurrentName.isEmpty() || m_state.CurrentCode.isEmpty())
        return;
    // A tick that fires while the last one still waits (the timer switched on again from outside)
    // or while a code change loads the new stock is skipped: the display it would mark is about
    // to be reset, and the blog cursor would move past the mention.
    if (m_ticking || m_state.CodeChangeBusy)
        return;
    const QScopedValueRollback ticking(m_ticking, true);
    app::TimerPause pause(Timer5);
    app::guarded(m_prompter, [this] { tick(); });
}

void BlogController::tick()
{
    try {
        if (m_tickCount % kNewsEvery == 0)
            readNewsFlash();
        ++m_tickCount;
        // Blogs only feed the main window, so they are searched only while it is shown.
        if (m_state.HiddenInTray)
            return;
        searchStep();
    } catch (const net::HttpFailure&) {
        // The failing step is passed over: the next tick reads the next blog.
        ++m_tickCount;
        ++m_cursor;
        throw SilentAbort{};
    }
}

void BlogController::readNewsFlash()
{
    const QByteArray page = m_IdHTTP4->get(m_settings.StockSiteBase + QStringLiteral("/news/cgszb.html"));
    const std::optional<NewsItem> item = scanNewsFlash(net::fromGbk(page));
    if (!item || item->link == m_lastNewsLink)
        return;
    m_lastNewsLink = item->link;
    m_newsNewIcon->show();
    m_newsIcon->hide();
    m_news->setToolTip(app::plainHint(item->headline));
    m_news->setText(QStringLiteral("快讯(") + app::timeText(m_clock.now().time()) + u')' + item->headline);
}

void BlogController::searchStep()
{
    if (m_cursor > m_addresses.size() - 1) {
        m_cursor = 0;
        return;
    }
    const int i = m_cursor;
    const QString name = m_names.value(i);
    if (m_hooks.showSearchState)
        m_hooks.showSearchState(QStringLiteral("正在搜索:《") + name + QStringLiteral("》"));

    // A blog that is not a web address is not fetched; it counts as a page without a mention.
    const QString address = m_addresses[i];
    const QString stockName = m_state.CurrentName;
    const app::StockTicket ticket(m_state);
    const bool found = net::isWebAddress(address)
                       && mentionsStock(m_IdHTTP4->get(address), stockName, ticket.code());
    ++m_cursor;
    // A code change during the wait reset the display for another stock: this page was read
    // for the old one.
    if (!found || !ticket.current())
        return;

    if (i < m_combo->count())
        m_combo->setItemText(i, name + kFound.toString());
    const bool unseen = m_seen.value(i) != QStringLiteral("1");
    showPictures(unseen ? m_unseen : m_seenPicture);
    m_mention->setText(QStringLiteral("《") + name + QStringLiteral("》提及该股"));

    // The drop-down tells a user looking at the window; one who is not gets the notice, once
    // per blog and stock.
    if (unseen && i < m_seen.size() && m_hooks.mainWindowInSight && !m_hooks.mainWindowInSight()) {
        m_seen[i] = QStringLiteral("1");
        if (m_hooks.raiseNotice)
            m_hooks.raiseNotice({QStringLiteral("您的股票:") + stockName + u'(' + ticket.code() + u')',
                                 QStringLiteral("在《") + name + QStringLiteral("》被提及,点击查看!"),
                                 address, i});
    }
}

void BlogController::ComboBox2Change(int index)
{
    if (index < 0 || index >= m_addresses.size())
        return;
    // An address the browser opener refuses was not shown, so the mention stays unseen.
    if (!m_opener.open(m_addresses[index]))
        return;
    if (index < m_seen.size())
        m_seen[index] = QStringLiteral("1");
    showPictures(m_seenPicture);
}

void BlogController::Label48Click()
{
    if (!m_lastNewsLink.isEmpty())
        m_opener.open(m_lastNewsLink);
    m_newsNewIcon->hide();
    m_newsIcon->show();
}

void BlogController::markSeen(int blogIndex)
{
    if (blogIndex >= 0 && blogIndex < m_seen.size())
        m_seen[blogIndex] = QStringLiteral("1");
}

} // namespace info
