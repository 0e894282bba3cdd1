#include "info/stocknews.h"

#include "core/stockticket.h"
#include "info/announcementswindow.h"
#include "info/commentary.h"
#include "info/forum.h"
#include "info/rumours.h"
#include "net/codecs.h"
#include "net/httpclient.h"
#include "net/scan.h"
#include "net/urlopener.h"
#include "widgets/widgets.h"

#include <QGroupBox>
#include <QPainter>

namespace info {

namespace {

constexpr int kLineHeight = 16;
constexpr int kHeadingWidth = 88;
constexpr int kLineWidth = 208;   // from the heading to the box's right edge

int lineTop(int line)
{
    return 16 + line * kLineHeight;
}

app::ClickLabel* linkLine(const char* name, const QString& text, int line, QWidget* box)
{
    auto* l = new app::ClickLabel(QString::fromLatin1(name), text, app::ClickLabel::Hover::Link, box);
    l->setTextFormat(Qt::PlainText);
    l->setGeometry(6 + kHeadingWidth, lineTop(line), kLineWidth - 20, kLineHeight);
    return l;
}

// The announcement marker: a small red bell-like dot. A picture; screen readers get its name.
QPixmap markerPicture()
{
    QPixmap pixmap(14, 14);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(230, 0, 0));
    p.drawEllipse(QRectF(1, 1, 12, 12));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(6, 3.5, 2, 5));
    p.drawRect(QRectF(6, 9.5, 2, 2));
    return pixmap;
}

void setTextColour(QLabel* label, const QColor& colour)
{
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, colour);
    label->setPalette(p);
}

} // namespace

StockNewsController::StockNewsController(app::AppState& state, const app::Settings& settings,
                                         app::Clock& clock, net::UrlOpener& opener,
                                         net::HttpClient& IdHTTP2, QObject* parent)
    : QObject(parent), m_state(state), m_settings(settings), m_clock(clock), m_opener(opener),
      IdHTTP2(IdHTTP2)
{
    GroupBox2 = new QGroupBox(QStringLiteral("个股评论（数据来自千股千评,仅供参考）"));
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    Label9 = app::placedLabel(GroupBox2, "Label9", QString(), {8, 18, 196, 16});
    Label9->setTextFormat(Qt::PlainText);
    QFont bold = Label9->font();
    bold.setBold(true);
    Label9->setFont(bold);
    Label10 = app::placedLabel(GroupBox2, "Label10", QString(), {8, 34, 196, 44});
    Label10->setTextFormat(Qt::PlainText);
    Label10->setWordWrap(true);
    Label10->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    m_ownedBox2 = GroupBox2;
    GroupBox6 = new QGroupBox(QStringLiteral("个股动态信息"));
    m_ownedBox6 = GroupBox6;
    GroupBox6->setObjectName(QStringLiteral("GroupBox6"));
    QFont small = GroupBox6->font();
    small.setPixelSize(11);   // a 16-character caption and its "..." fit a line
    GroupBox6->setFont(small);
    const char16_t* headings[] = {u"最新个股传言：", u"最新研究报告：", u"最新个股公告：", u"最新股民评论："};
    for (int i = 0; i < 4; ++i)
        app::placedLabel(GroupBox6, nullptr, QString::fromUtf16(headings[i]),
                         {6, lineTop(i), kHeadingWidth, kLineHeight});
    Label36 = linkLine("Label36", QString(), 0, GroupBox6);
    Label39 = linkLine("Label39", QString(), 1, GroupBox6);
    Label15 = linkLine("Label15", QStringLiteral("公告："), 2, GroupBox6);
    Image3 = new QLabel(GroupBox6);
    Image3->setObjectName(QStringLiteral("Image3"));
    Image3->setPixmap(markerPicture());
    Image3->setAccessibleName(QStringLiteral("今日公告"));
    Image3->setGeometry(6 + kHeadingWidth + kLineWidth - 18, lineTop(2) + 1, 14, 14);
    Image3->hide();

    connect(Label15, &app::ClickLabel::clicked, this, &StockNewsController::Label15Click);
    connect(Label36, &app::ClickLabel::clicked, this, &StockNewsController::Label36Click);
    connect(Label39, &app::ClickLabel::clicked, this, &StockNewsController::Label39Click);
}

StockNewsController::~StockNewsController()
{
    // Boxes the main window never took over are this controller's to delete.
    for (const QPointer<QGroupBox>& box : {m_ownedBox2, m_ownedBox6})
        if (box && !box->parent())
            delete box.data();
}

void StockNewsController::placeInvestorLine(QWidget* line, QWidget* marker, QWidget* foundAt)
{
    line->setParent(GroupBox6);
    line->setGeometry(6 + kHeadingWidth, lineTop(3), kLineWidth - 20, kLineHeight);
    // The marker and the time it was found sit at the right of the box's title row.
    marker->setParent(GroupBox6);
    marker->setGeometry(6 + kHeadingWidth + kLineWidth - 126, 1, 28, 14);
    foundAt->setParent(GroupBox6);
    foundAt->setGeometry(6 + kHeadingWidth + kLineWidth - 94, 0, 94, kLineHeight);
}

void StockNewsController::setAnnouncementsWindow(std::function<AnnouncementsWindow*()> window)
{
    TForm2 = std::move(window);
}

void StockNewsController::getyg(const QString& code)
{
    const app::StockTicket ticket(m_state);
    QByteArray body;
    try {
        body = IdHTTP2.get(m_settings.CompanyPageBase + companyPagePath(code));
    } catch (const net::HttpFailure&) {
        throw SilentAbort{};
    }
    ticket.ensureCurrent();
    const CompanyPageScan scan = scanCompanyPage(net::fromGbk(body));
    if (scan.rumour.link)
        m_rumourLink = *scan.rumour.link;
    if (scan.rumour.title) {
        Label36->setToolTip(app::plainHint(net::trimBlanks(*scan.rumour.title)));
        Label36->setText(latestCaption(*scan.rumour.title));
    }
    if (scan.report) {
        m_reportLink = scan.report->link;
        Label39->setToolTip(app::plainHint(scan.report->hint));
        Label39->setText(scan.report->caption);
    }
}

void StockNewsController::getqgqp(const QString& code)
{
    const app::StockTicket ticket(m_state);
    auto failed = [this] {
        Label9->setText(QStringLiteral("获取失败"));
        Label10->setText(QStringLiteral("获取数据失败......"));
    };
    QByteArray body;
    try {
        body = IdHTTP2.get(m_settings.CommentaryBase + commentaryPath(code));
    } catch (const net::HttpFailure&) {
        ticket.ensureCurrent();
        failed();
        throw SilentAbort{};
    }
    ticket.ensureCurrent();
    if (m_state.CurrentName.isEmpty())
        return failed();
    if (const std::optional<QString> opinion = scanCommentary(net::fromGbk(body))) {
        Label9->setText(m_state.CurrentName);
        Label10->setText(*opinion);
    }
}

void StockNewsController::getgg(const QString& code)
{
    GroupBox6->setTitle(m_state.CurrentName + QStringLiteral("(") + m_state.CurrentCode
                        + QStringLiteral(")个股最新信息"));
    const app::StockTicket ticket(m_state);
    QByteArray body;
    try {
        body = IdHTTP2.get(m_settings.NoticeBase + noticeListPath(code));
    } catch (const net::HttpFailure&) {
        throw SilentAbort{};
    }
    ticket.ensureCurrent();
    scanNoticeList(net::fromGbk(body), m_settings.NoticeBase, m_lists);
    if (!showAnnouncementLine())
        throw SilentAbort{};
}

void StockNewsController::newDay()
{
    // The list read yesterday holds no announcement of the new day.
    if (!m_lists.dates.isEmpty())
        showAnnouncementLine();
}

bool StockNewsController::showAnnouncementLine()
{
    const std::optional<bool> today = announcedToday(m_lists.dates, m_clock.now().date());
    if (!today)
        return false;
    if (*today) {
        Label15->setText(QStringLiteral("今日有公告,点击查看最新公告"));
        setTextColour(Label15, QColor(255, 0, 0));
        Image3->show();
    } else {
        Label15->setText(QStringLiteral("今日无公告,点击查看历史公告"));
        setTextColour(Label15, QColor(0, 0, 128));
        Image3->hide();
    }
    return true;
}

void StockNewsController::Label15Click()
{
    AnnouncementsWindow* window = TForm2 ? TForm2() : nullptr;
    if (m_state.CurrentName.isEmpty() || !window)
        return;
    window->ggggdraw();
    Image3->hide();
    window->setStock(m_state.CurrentName, m_state.CurrentCode);
    window->showOver(Label15->window());
}

void StockNewsController::openLink(const QString& link)
{
    if (!link.trimmed().isEmpty())
        m_opener.open(link.trimmed());
}

void StockNewsController::Label36Click()
{
    openLink(m_rumourLink);
}

void StockNewsController::Label39Click()
{
    openLink(m_reportLink);
}

} // namespace info
