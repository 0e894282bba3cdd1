#include "info/forumcontroller.h"

#include "core/calendar.h"
#include "core/stockticket.h"
#include "info/cellgrid.h"
#include "net/codecs.h"
#include "net/httpclient.h"
#include "net/urlopener.h"
#include "widgets/widgets.h"

#include <QPainter>

namespace info {

namespace {

const QColor kOpened(255, 255, 153);     // light yellow
const QColor kNotOpened(245, 240, 255);  // pale lavender

// The "new" marker: a small red burst. It is a picture; screen readers get its name.
QPixmap newMarkerPicture()
{
    QPixmap pixmap(28, 14);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(230, 0, 0));
    p.drawRoundedRect(QRectF(0.5, 0.5, 27, 13), 5, 5);
    p.setBrush(QColor(255, 220, 0));
    for (int i = 0; i < 3; ++i)
        p.drawEllipse(QRectF(5 + 7 * i, 4.5, 5, 5));
    return pixmap;
}

} // namespace

ForumController::ForumController(app::AppState& state, const app::Settings& settings, app::Clock& clock,
                                 net::UrlOpener& opener, net::HttpClient& IdHTTP5, QObject* parent)
    : QObject(parent), m_state(state), m_settings(settings), m_clock(clock), m_opener(opener),
      IdHTTP5(IdHTTP5)
{
    StringGrid1 = new CellGrid(QStringLiteral("StringGrid1"), {28, 320, 61, 82}, 20);
    StringGrid1->headerColour = QColor(255, 251, 240);   // cream
    connect(StringGrid1, &CellGrid::cellSelected, this, &ForumController::StringGrid1SelectCell);

    Label45 = new app::ClickLabel(QStringLiteral("Label45"), QString(), app::ClickLabel::Hover::Link);
    Label45->setTextFormat(Qt::PlainText);
    connect(Label45, &app::ClickLabel::clicked, this, &ForumController::Label45Click);

    Image13 = new QLabel;
    Image13->setObjectName(QStringLiteral("Image13"));
    Image13->setPixmap(newMarkerPicture());
    Image13->setAccessibleName(QStringLiteral("new"));
    Image13->hide();

    Label19 = new QLabel;
    Label19->setObjectName(QStringLiteral("Label19"));
    Label19->setTextFormat(Qt::PlainText);

    m_controls = {StringGrid1, Label45, Image13, Label19};
    resetposts();
}

ForumController::~ForumController()
{
    // Controls the main window never took over are this panel's to delete.
    for (const QPointer<QWidget>& w : m_controls)
        if (w && !w->parent())
            delete w.data();
}

void ForumController::fail()
{
    if (m_posts.PostTitleList.isEmpty()) {
        // The line no longer names a post: nothing of the post shown before (another stock's,
        // after a code change) stays behind its error text, and a click opens nothing.
        Label45->setText(QStringLiteral("读取数据出错,或今日无新帖"));
        Label45->setToolTip(QString());
        m_posts.investorCommentLink.clear();
        Image13->hide();
        Label19->clear();
        Label19->hide();
    }
    throw SilentAbort{};
}

void ForumController::getgbdata(const QString& code)
{
    const app::StockTicket ticket(m_state);
    QByteArray body;
    try {
        body = IdHTTP5.get(m_settings.ForumBase + QStringLiteral("/topic,") + code + QStringLiteral(".html"));
    } catch (const net::HttpFailure&) {
        ticket.ensureCurrent();
        fail();
    }
    ticket.ensureCurrent();
    const QDate today = m_clock.now().date();
    const int added =
        m_posts.addToday(scanForumPage(net::fromGbk(body), m_settings.ForumBase, today.year()),
                         app::dateText(today));
    const LatestPostUpdate update = m_posts.updateLatest(added);
    if (update.noPosts) {
        Label45->setText(QStringLiteral("今日尚无留言"));
        if (update.failure)
            fail();
    } else if (update.show) {
        showLatest(update.post);
    }
}

void ForumController::showLatest(int post)
{
    const QString& title = m_posts.PostTitleList[post];
    Label45->setToolTip(app::plainHint(title));
    Label45->setText(latestCaption(title));
    Image13->show();
    Label19->setText(QStringLiteral("最新于:") + app::timeText(m_clock.now().time()));
    Label19->show();
}

void ForumController::resetposts()
{
    m_posts.reset();
    StringGrid1->resetRows({QString(), QStringLiteral("帖子标题"), QStringLiteral("点击/回复"),
                            QStringLiteral("作者")});
    paintRows();
}

void ForumController::minuteRefresh()
{
    // A read during a code change would add the new stock's posts to the old stock's list and set
    // the latest-post line from it.
    if (m_state.CodeChangeBusy)
        return;
    if (!m_state.HiddenInTray)
        getgbdata(m_state.CurrentCode);
    showposts();
}

void ForumController::showposts()
{
    const int n = m_posts.count();
    for (int i = m_posts.rowsShown; i < n; ++i) {
        StringGrid1->setRow(i + 1, {QString::number(i + 1), m_posts.PostTitleList[i],
                                    m_posts.PostCountList[i], m_posts.PostAuthorList[i]});
        StringGrid1->appendEmptyRow();
    }
    paintRows();
    StringGrid1->selectRowQuietly(StringGrid1->rowCount() - 1);
    m_posts.rowsShown = n;
}

void ForumController::paintRows()
{
    for (int row = 1; row < StringGrid1->rowCount(); ++row)
        StringGrid1->setRowBackground(row, m_posts.opened(row) ? kOpened : kNotOpened);
}

void ForumController::StringGrid1SelectCell(int row, int column)
{
    if (StringGrid1->cellText(row, column).isEmpty())
        return;
    m_posts.markOpened(row);
    paintRows();
    if (row >= 1 && row <= m_posts.count())
        m_opener.open(m_posts.PostLinkList[row - 1]);
}

void ForumController::Label45Click()
{
    Image13->hide();
    Label19->hide();
    const QString link = m_posts.investorCommentLink.trimmed();
    if (!link.isEmpty())
        m_opener.open(link);
}

} // namespace info
