#include "alerts/alertwindows.h"

#include "widgets/widgets.h"
#include "net/urlopener.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTableWidget>

namespace alerts {

namespace {

const QColor kNavy(0, 0, 128);
const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 128, 0);

constexpr int kIconSize = 40;
constexpr int kRowHeight = 16;
constexpr int kColumnWidths[] = {22, 108, 54, 55, 49};

// The pictures of the pop-ups, drawn at run time; none carries text.
enum class Picture { Up, Down, Trade, Order, Inflow, Outflow, Blog };

QPixmap drawPicture(Picture kind)
{
    const qreal s = kIconSize;
    QPixmap pixmap(kIconSize, kIconSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (kind) {
    case Picture::Up:
    case Picture::Down: {
        // A white arrow on a red (rise) or green (fall) disc.
        const bool up = kind == Picture::Up;
        p.setPen(Qt::NoPen);
        p.setBrush(up ? QColor(220, 20, 20) : QColor(0, 140, 0));
        p.drawEllipse(QRectF(1, 1, s - 2, s - 2));
        QPolygonF arrow({QPointF(0.5, 0.18), QPointF(0.80, 0.50), QPointF(0.62, 0.50),
                         QPointF(0.62, 0.82), QPointF(0.38, 0.82), QPointF(0.38, 0.50),
                         QPointF(0.20, 0.50)});
        for (QPointF& pt : arrow)
            pt = QPointF(pt.x() * s, (up ? pt.y() : 1.0 - pt.y()) * s);
        p.setBrush(Qt::white);
        p.drawPolygon(arrow);
        break;
    }
    case Picture::Trade: {
        // A stack of gold coins: a deal done. Each coin is its rim and then its face, drawn
        // from the bottom coin up so the upper ones cover the lower.
        const qreal w = s * 0.72, h = s * 0.24, t = s * 0.10, x = s * 0.14;
        p.setPen(QPen(QColor(150, 100, 0), 1.0));
        for (int i = 0; i < 4; ++i) {
            const qreal top = s * 0.62 - t * i;
            QPainterPath rim;
            rim.addRect(QRectF(x, top + h / 2, w, t));
            rim.addEllipse(QRectF(x, top + t, w, h));
            p.setBrush(QColor(215, 160, 20));
            p.drawPath(rim.simplified());
            p.setBrush(QColor(250, 215, 80));
            p.drawEllipse(QRectF(x, top, w, h));
        }
        break;
    }
    case Picture::Order: {
        // An order ticket with a blue header and lines of figures.
        p.setPen(QPen(QColor(60, 60, 60), 1.2));
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(s * 0.18, s * 0.08, s * 0.64, s * 0.84), 3, 3);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(30, 80, 200));
        p.drawRect(QRectF(s * 0.18 + 0.6, s * 0.08 + 0.6, s * 0.64 - 1.2, s * 0.18));
        p.setBrush(QColor(120, 120, 120));
        for (int i = 0; i < 4; ++i)
            p.drawRect(QRectF(s * 0.28, s * (0.38 + 0.12 * i), s * (i % 2 ? 0.30 : 0.44), s * 0.05));
        p.setBrush(QColor(220, 20, 20));
        p.drawEllipse(QRectF(s * 0.60, s * 0.66, s * 0.16, s * 0.16));
        break;
    }
    case Picture::Inflow:
    case Picture::Outflow: {
        // A tray with an arrow going in (red, inflow) or coming out (green, outflow).
        const bool in = kind == Picture::Inflow;
        const QColor colour = in ? QColor(220, 20, 20) : QColor(0, 140, 0);
        p.setPen(QPen(QColor(70, 70, 70), s * 0.07, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF({QPointF(s * 0.10, s * 0.58), QPointF(s * 0.10, s * 0.90),
                                  QPointF(s * 0.90, s * 0.90), QPointF(s * 0.90, s * 0.58)}));
        QPolygonF arrow({QPointF(0.5, 0.76), QPointF(0.76, 0.46), QPointF(0.60, 0.46),
                         QPointF(0.60, 0.06), QPointF(0.40, 0.06), QPointF(0.40, 0.46),
                         QPointF(0.24, 0.46)});
        for (QPointF& pt : arrow)
            pt = QPointF(pt.x() * s, (in ? pt.y() : 0.82 - pt.y()) * s);
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawPolygon(arrow);
        break;
    }
    case Picture::Blog: {
        // A page with a magnifier over it: a blog was searched.
        p.setPen(QPen(QColor(80, 80, 80), 1.2));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(s * 0.08, s * 0.06, s * 0.58, s * 0.74));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(150, 150, 150));
        for (int i = 0; i < 4; ++i)
            p.drawRect(QRectF(s * 0.16, s * (0.18 + 0.13 * i), s * 0.42, s * 0.05));
        p.setPen(QPen(QColor(0, 0, 128), s * 0.09, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(s * 0.70, s * 0.70), QPointF(s * 0.92, s * 0.92));
        p.setPen(QPen(QColor(0, 0, 128), s * 0.07));
        p.setBrush(QColor(200, 225, 255, 200));
        p.drawEllipse(QRectF(s * 0.40, s * 0.40, s * 0.36, s * 0.36));
        break;
    }
    }
    return pixmap;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QRect& geometry)
{
    auto* l = new QLabel(parent);
    l->setTextFormat(Qt::PlainText);   // stock and blog names come from remote replies
    l->setObjectName(QString::fromLatin1(name));
    l->setTextFormat(Qt::PlainText);   // stock names and texts from remote replies are never markup
    l->setGeometry(geometry);
    return l;
}

QLabel* makePicture(QWidget* parent, const char* name, Picture kind, QPoint at)
{
    QLabel* l = makeLabel(parent, name, QRect(at, QSize(kIconSize, kIconSize)));
    l->setPixmap(drawPicture(kind));
    return l;
}

void setTextColour(QWidget* w, const QColor& colour)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, colour);
    pal.setColor(QPalette::Text, colour);
    w->setPalette(pal);
}

void styleFont(QWidget* w, int pixelSize, bool bold = false, bool underline = false)
{
    QFont f = w->font();
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setUnderline(underline);
    w->setFont(f);
}

QCheckBox* makePauseBox(QWidget* parent, const QRect& geometry)
{
    auto* box = new QCheckBox(QStringLiteral("暂停提示"), parent);
    box->setObjectName(QStringLiteral("CheckBox1"));
    box->setGeometry(geometry);
    styleFont(box, 12);
    return box;
}

} // namespace

// ---- PopupWindow ----

PopupWindow::PopupWindow(const char* name, const QString& caption, Corner corner, QWidget* parent)
    : QWidget(parent), m_corner(corner)
{
    setObjectName(QString::fromLatin1(name));
    setWindowTitle(caption);
    // A tool window: a notice of a tray program gets no taskbar entry of its own.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint
                   | Qt::WindowStaysOnTopHint);
    // A pop-up closed while the main window sits in the tray must not end the program.
    setAttribute(Qt::WA_QuitOnClose, false);
    // An alert should not take the keyboard from whatever the user is typing into.
    setAttribute(Qt::WA_ShowWithoutActivating, true);
    setAutoFillBackground(true);
}

void PopupWindow::place()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect whole = screen->geometry();
    const QRect work = screen->availableGeometry();
    // The frame counts: the window's outer edge touches the screen edge.
    const QSize outer = frameGeometry().size();
    int top = 0;
    switch (m_corner) {
    case Corner::BottomRight:   // above a bottom task bar
        top = work.height() - outer.height();
        break;
    case Corner::TopRight:
        top = 0;
        break;
    case Corner::RightMiddle:   // integer division rounds toward zero
        top = (whole.height() - outer.height()) / 2;
        break;
    }
    move(whole.x() + whole.width() - outer.width(), whole.y() + top);
}

void PopupWindow::placeAndShow()
{
    const bool wasOpen = isVisible();
    place();
    show();
    // A window newly shown comes up on top; one already open is brought back above the others.
    if (wasOpen)
        raise();
    // The first show may be when the window manager's frame becomes known: place it again.
    place();
}

// ---- BroadcastWindow ----

BroadcastWindow::BroadcastWindow(QWidget* parent)
    : PopupWindow("TForm5", QStringLiteral("股价"), Corner::BottomRight, parent)
{
    constexpr int margin = 4;
    constexpr int titleHeight = 24;

    m_grid = new QTableWidget(this);
    m_grid->setObjectName(QStringLiteral("StringGrid1"));
    m_grid->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_grid->setLineWidth(1);
    m_grid->setColumnCount(5);
    m_grid->horizontalHeader()->hide();
    m_grid->verticalHeader()->hide();
    m_grid->horizontalHeader()->setMinimumSectionSize(1);
    m_grid->verticalHeader()->setMinimumSectionSize(1);
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_grid->verticalHeader()->setDefaultSectionSize(kRowHeight);
    int gridContentWidth = 0;
    for (int c = 0; c < 5; ++c) {
        m_grid->setColumnWidth(c, kColumnWidths[c]);
        gridContentWidth += kColumnWidths[c];
    }
    m_grid->setShowGrid(true);
    m_grid->setWordWrap(false);
    m_grid->setTextElideMode(Qt::ElideNone);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_grid->setFocusPolicy(Qt::NoFocus);
    // The program's Chinese face at 11 px fits "名称(代码)" in 108 px and a seven-digit volume
    // in 49 px, within the 16 px rows.
    QFont gridFont = m_grid->font();
    gridFont.setFamilies(app::chineseFontFamilies() << gridFont.family());
    gridFont.setPixelSize(11);
    m_grid->setFont(gridFont);

    const int frame = m_grid->frameWidth();
    const int gridWidth = gridContentWidth + 2 * frame;
    m_baseGridHeight = 2 * kRowHeight + 2 * frame;   // heading row and one empty row

    m_title = makeLabel(this, "Panel1", QRect(margin, margin, gridWidth, titleHeight));
    m_title->setFrameStyle(QFrame::Panel | QFrame::Raised);
    m_title->setAlignment(Qt::AlignCenter);
    setTextColour(m_title, kNavy);
    styleFont(m_title, 13, true);

    const int gridTop = margin + titleHeight + 2;
    m_grid->setGeometry(margin, gridTop, gridWidth, m_baseGridHeight);
    m_baseHeight = gridTop + m_baseGridHeight + margin;
    setFixedSize(gridWidth + 2 * margin, m_baseHeight);

    setStockRows(0);
}

void BroadcastWindow::setCell(int row, int column, const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignCenter);
    if (row == 0) {   // the heading row looks fixed and cannot be selected
        item->setFlags(Qt::ItemIsEnabled);
        item->setBackground(QColor(236, 233, 216));
    } else {
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    }
    m_grid->setItem(row, column, item);
}

void BroadcastWindow::setStockRows(int count)
{
    // Heading row, the stock rows and one empty row; window and grid grow 16 px a stock row.
    m_grid->setRowCount(count + 2);
    const int extra = kRowHeight * count;
    m_grid->resize(m_grid->width(), m_baseGridHeight + extra);
    setFixedHeight(m_baseHeight + extra);
}

void BroadcastWindow::showBroadcast(const QString& title, const QString& heading,
                                    const QList<QStringList>& rows)
{
    m_title->setText(title);

    m_grid->clearContents();
    m_grid->clearSelection();
    m_grid->setRowCount(0);
    setStockRows(int(rows.size()));
    const QString headings[] = {QString(), QStringLiteral("股票名称及代码"), heading,
                                QStringLiteral("涨跌幅"), QStringLiteral("成交量")};
    for (int c = 0; c < 5; ++c)
        setCell(0, c, headings[c]);
    // Every cell of the grid has an item, so the empty bottom row is drawn like the others.
    for (int r = 1; r < m_grid->rowCount(); ++r) {
        const bool stockRow = r <= rows.size();
        const QStringList row = stockRow ? rows[r - 1] : QStringList();
        const int skip = row.size() >= 5 ? 1 : 0;   // the row's own number
        setCell(r, 0, stockRow ? QString::number(r) : QString());
        for (int c = 1; c < 5; ++c)
            setCell(r, c, row.value(c - 1 + skip));
    }
    m_grid->scrollToTop();

    placeAndShow();
}

void BroadcastWindow::closeEvent(QCloseEvent* event)
{
    // Back to the base height; the texts stay until the next broadcast.
    m_grid->resize(m_grid->width(), m_baseGridHeight);
    setFixedHeight(m_baseHeight);
    PopupWindow::closeEvent(event);
}

// ---- AlertWindow ----

namespace {

struct AlertLook {
    const char* name;
    const char16_t* caption;
};

AlertLook alertLook(AlertWindow::Kind kind)
{
    switch (kind) {
    case AlertWindow::Kind::Limit: return {"TForm6", u"股价提示"};
    case AlertWindow::Kind::LargeTrade: return {"TForm7", u"大单成交"};
    case AlertWindow::Kind::LargeOrder: return {"TForm8", u"大单出现"};
    case AlertWindow::Kind::RiseFall: break;
    }
    return {"TForm9", u"涨跌情况"};
}

} // namespace

AlertWindow::AlertWindow(Kind kind, QWidget* parent)
    : PopupWindow(alertLook(kind).name, QString::fromUtf16(alertLook(kind).caption),
                  Corner::BottomRight, parent),
      m_kind(kind)
{
    constexpr int width = 440;
    const QPoint iconPlace(10, 10);

    switch (kind) {
    case Kind::Limit:
    case Kind::RiseFall:
        m_up = makePicture(this, "Image1", Picture::Up, iconPlace);
        m_down = makePicture(this, "Image2", Picture::Down, iconPlace);
        m_down->hide();
        break;
    case Kind::LargeTrade:
        m_up = makePicture(this, "Image1", Picture::Trade, iconPlace);
        break;
    case Kind::LargeOrder:
        m_up = makePicture(this, "Image1", Picture::Order, iconPlace);
        break;
    }

    // Line 1 beside the picture, up to two lines for a long stock name.
    m_line1 = makeLabel(this, "Label1", QRect(58, 8, width - 58 - 8, 44));
    m_line1->setWordWrap(true);
    m_line1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setTextColour(m_line1, kBlue);
    styleFont(m_line1, 13);

    m_line2 = makeLabel(this, "Label2", QRect(6, 58, width - 12, 40));
    m_line2->setWordWrap(true);
    m_line2->setAlignment(Qt::AlignCenter);
    setTextColour(m_line2, kRed);
    styleFont(m_line2, 13);

    setFixedSize(width, 104);
}

void AlertWindow::showAlert(const QString& line1, const QString& line2, bool falling, Icon icon)
{
    m_line1->setText(line1);
    setTextColour(m_line2, falling ? kGreen : kRed);
    m_line2->setText(line2);
    if (hasDirectionIcons() && icon != Icon::None) {
        m_up->setVisible(icon == Icon::Up);
        m_down->setVisible(icon == Icon::Down);
    }
    placeAndShow();
}

// ---- FlowNoticeWindow ----

FlowNoticeWindow::FlowNoticeWindow(NoticePauses& pauses, QWidget* parent)
    : PopupWindow("TForm10", QStringLiteral("大单流向提示"), Corner::TopRight, parent),
      m_pauses(pauses)
{
    constexpr int width = 380;
    const QPoint iconPlace(10, 8);

    m_inflow = makePicture(this, "Image1", Picture::Inflow, iconPlace);
    m_outflow = makePicture(this, "Image2", Picture::Outflow, iconPlace);
    m_outflow->hide();

    m_stock = makeLabel(this, "Label2", QRect(58, 8, width - 58 - 8, kIconSize));
    m_stock->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setTextColour(m_stock, kNavy);
    styleFont(m_stock, 14, true);

    m_message = makeLabel(this, "Label1", QRect(6, 54, width - 12, 24));
    m_message->setAlignment(Qt::AlignCenter);
    m_message->setWordWrap(true);
    styleFont(m_message, 14, true);

    m_totals = makeLabel(this, "Label3", QRect(6, 80, width - 12, 36));
    m_totals->setAlignment(Qt::AlignCenter);
    m_totals->setWordWrap(true);
    styleFont(m_totals, 12);

    m_pauseBox = makePauseBox(this, QRect(width - 96, 120, 90, 20));
    connect(m_pauseBox, &QCheckBox::clicked, this, [this](bool checked) {
        m_pauses.flow = checked;
        Q_EMIT pauseChanged(checked);
    });

    setFixedSize(width, 146);
}

void FlowNoticeWindow::setStock(const QString& text)
{
    m_stock->setText(text);
}

void FlowNoticeWindow::setMessage(const QString& text, const QColor& colour)
{
    setTextColour(m_message, colour);
    m_message->setText(text);
}

void FlowNoticeWindow::setTotals(const QString& text, const QColor& colour)
{
    setTextColour(m_totals, colour);
    m_totals->setText(text);
}

void FlowNoticeWindow::setInflow(bool inflow)
{
    m_inflow->setVisible(inflow);
    m_outflow->setVisible(!inflow);
}

void FlowNoticeWindow::resumeFromTray()
{
    m_pauses.flow = false;
    m_pauseBox->setChecked(false);   // a programmatic change does not emit clicked()
}

// ---- BlogNoticeWindow ----

BlogNoticeWindow::BlogNoticeWindow(NoticePauses& pauses, net::UrlOpener& opener, QWidget* parent)
    : PopupWindow("TForm11", QStringLiteral("搜索提示"), Corner::RightMiddle, parent),
      m_pauses(pauses), m_opener(opener)
{
    constexpr int width = 320;

    makePicture(this, "Image1", Picture::Blog, QPoint(10, 10));

    m_notice = makeLabel(this, "Label1", QRect(58, 8, width - 58 - 8, 24));
    m_notice->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setTextColour(m_notice, kRed);
    styleFont(m_notice, 13, true);

    m_linkLabel = new app::ClickLabel(QStringLiteral("Label2"), QString(),
                                      app::ClickLabel::Hover::None, this);
    m_linkLabel->setGeometry(58, 34, width - 58 - 8, 40);
    m_linkLabel->setWordWrap(true);
    m_linkLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setTextColour(m_linkLabel, kNavy);
    styleFont(m_linkLabel, 13, false, true);
    connect(m_linkLabel, &app::ClickLabel::clicked, this, &BlogNoticeWindow::Label2Click);

    m_pauseBox = makePauseBox(this, QRect(width - 96, 80, 90, 20));
    connect(m_pauseBox, &QCheckBox::clicked, this, [this](bool checked) {
        m_pauses.blog = checked;
        Q_EMIT pauseChanged(checked);
    });

    setFixedSize(width, 106);
}

void BlogNoticeWindow::setNotice(const QString& text, const QString& link, int blogIndex)
{
    m_notice->setText(text);
    m_link = link;
    m_blogIndex = blogIndex;
}

void BlogNoticeWindow::setLinkText(const QString& text)
{
    m_linkLabel->setText(text);
}

void BlogNoticeWindow::resumeFromTray()
{
    m_pauses.blog = false;
    m_pauseBox->setChecked(false);
}

void BlogNoticeWindow::Label2Click()
{
    const QString link = m_link.trimmed();
    if (link.isEmpty())
        return;
    // A refused address was not shown to the user, so the mention is not marked as seen and
    // the notice stays for the user to close.
    if (!m_opener.open(link))
        return;
    Q_EMIT blogSeen(m_blogIndex);
    hide();
}

} // namespace alerts
