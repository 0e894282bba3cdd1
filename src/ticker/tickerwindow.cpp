#include "ticker/tickerwindow.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>

namespace ticker {

namespace {

constexpr int kCellHeight = 18;
constexpr int kLeft = 6;

// Stock columns: left edge and width of each cell, name first.
constexpr int kColumnX[ColumnCount] = {kLeft, 68, 122, 176, 230, 284};
constexpr int kColumnWidth[ColumnCount] = {TickerWindow::kNameWidth, 52, 52, 52, 52, 82};
// Index columns: row title, value, change, change percent, amount. The top row holds Label20 over
// the first two and the headings over the other three.
constexpr int kIndexX[5] = {kLeft, 68, 130, 184, 238};
constexpr int kIndexWidth[5] = {58, 60, 52, 52, 90};
constexpr int kIndexTop[2] = {24, 44};
constexpr int kHeadingGap = 4;   // between the end of the date and time and the first heading

// The width of the longest date and time the ticker shows ("2026-12-19 10:30:00": four-digit
// year, two-digit month, day and hour) written in the widest digit of `metrics`.
int longestDateTimeWidth(const QFontMetrics& metrics)
{
    QChar widest = u'0';
    for (char16_t d = u'1'; d <= u'9'; ++d)
        if (metrics.horizontalAdvance(QChar(d)) > metrics.horizontalAdvance(widest))
            widest = QChar(d);
    QString text = QStringLiteral("0000-00-00 00:00:00");
    text.replace(u'0', widest);
    return metrics.horizontalAdvance(text);
}

const QColor kRise(255, 0, 0);
const QColor kFall(0, 128, 0);

QLabel* cellLabel(QWidget* parent, const QString& name, const QString& text, const QRect& geometry)
{
    auto* label = new QLabel(text, parent);
    if (!name.isEmpty())
        label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);   // names and prices come from a remote reply
    label->setGeometry(geometry);
    return label;
}

// White text on the direction colour.
void paintValue(QLabel* label, bool falling)
{
    QPalette p = label->palette();
    p.setColor(QPalette::Window, falling ? kFall : kRise);
    p.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(p);
    label->setAutoFillBackground(true);
}

} // namespace

TickerWindow::TickerWindow()
    : QFrame(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("TForm15"));
    setWindowTitle(QStringLiteral("在桌面显示股价"));
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setLineWidth(2);
    setWindowOpacity(kOpacity);
    QFont f = font();
    f.setPixelSize(12);
    setFont(f);

    m_dateTime = cellLabel(this, QStringLiteral("Label20"), QString(), {});
    const int dateWidth = longestDateTimeWidth(m_dateTime->fontMetrics());
    m_dateTime->setGeometry(kLeft, 4, dateWidth, kCellHeight);
    // When the date and time need more room than the title and value columns give, the value
    // column widens and the three columns right of it, headings and all, move over.
    const int shift = qMax(0, kLeft + dateWidth + kHeadingGap - kIndexX[2]);
    int indexX[5], indexWidth[5];
    for (int c = 0; c < 5; ++c) {
        indexX[c] = kIndexX[c] + (c >= 2 ? shift : 0);
        indexWidth[c] = kIndexWidth[c] + (c == 1 ? shift : 0);
    }
    m_width = qMax(kWidth, indexX[4] + indexWidth[4] + kLeft);
    const char* headings[] = {"涨跌", "幅度", "成交量"};
    for (int i = 0; i < 3; ++i)
        cellLabel(this, {}, QString::fromUtf8(headings[i]), {indexX[i + 2], 4, indexWidth[i + 2], kCellHeight});
    const char* titles[2] = {"上证指数", "深圳成指"};
    const char* titleNames[2] = {"Label6", "Label7"};
    const char* valueNames[2][4] = {{"Label8", "Label9", "Label11", "Label12"},
                                    {"Label16", "Label17", "Label18", "Label19"}};
    for (int r = 0; r < 2; ++r) {
        cellLabel(this, QString::fromLatin1(titleNames[r]), QString::fromUtf8(titles[r]),
                  {indexX[0], kIndexTop[r], indexWidth[0], kCellHeight});
        for (int c = 0; c < 4; ++c) {
            m_index[r][c] = cellLabel(this, QString::fromLatin1(valueNames[r][c]), QString(),
                                      {indexX[c + 1], kIndexTop[r], indexWidth[c + 1], kCellHeight});
            paintValue(m_index[r][c], false);
        }
    }

    auto* rule = new QFrame(this);
    rule->setObjectName(QStringLiteral("Bevel1"));
    rule->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    rule->setGeometry(kLeft, 66, m_width - 2 * kLeft, 2);
    const char* columns[ColumnCount] = {"股票名称", "最新价", "涨跌幅", "最高价", "最低价", "成交量"};
    for (int c = 0; c < ColumnCount; ++c)
        cellLabel(this, {}, QString::fromUtf8(columns[c]), {kColumnX[c], 72, kColumnWidth[c], kCellHeight});

    buildRows(0);
    placeTopRight();
}

void TickerWindow::placeTopRight()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    move(area.x() + area.width() - width(), 30);
}

void TickerWindow::showOnTop()
{
    show();
    raise();
    activateWindow();
}

void TickerWindow::showIndexRow(int which, const market::TickerIndexRow& row)
{
    if (which < 0 || which > 1)
        return;
    const QString* texts[4] = {&row.value, &row.change, &row.changePercent, &row.amount};
    for (int c = 0; c < 4; ++c) {
        m_index[which][c]->setText(*texts[c]);
        paintValue(m_index[which][c], row.falling);
    }
}

void TickerWindow::setDateTimeText(const QString& text)
{
    m_dateTime->setText(text);
}

void TickerWindow::buildRows(int rows)
{
    qDeleteAll(TickerLabels);
    TickerLabels.clear();
    rows = qMax(rows, 0);
    for (int r = 0; r < rows; ++r) {
        const int top = kFirstRowTop + r * kRowPitch;
        for (int c = 0; c < ColumnCount; ++c) {
            QLabel* cell = cellLabel(this, QStringLiteral("Ticker%1_%2").arg(r).arg(c), QString(),
                                     {kColumnX[c], top, kColumnWidth[c], kCellHeight});
            cell->hide();
            TickerLabels.append(cell);
        }
    }
    setFixedSize(m_width, kFirstRowTop + rows * kRowPitch + 6);
}

QLabel* TickerWindow::cell(int row, Column column) const
{
    if (row < 0 || row >= builtRows() || column < 0 || column >= ColumnCount)
        return nullptr;
    return TickerLabels[row * ColumnCount + column];
}

void TickerWindow::fillRow(int row, const RowTexts& texts)
{
    if (row < 0 || row >= builtRows())
        return;   // the ticker never writes to cells it has not built
    for (int c = 0; c < ColumnCount; ++c) {
        QLabel* label = cell(row, Column(c));
        if (texts.falling && c != NameColumn)
            paintValue(label, *texts.falling);
        if (texts.cells[c]) {
            label->setText(*texts.cells[c]);
            label->show();
        }
    }
}

void TickerWindow::mousePressEvent(QMouseEvent* event)
{
    // Every point of the window works as its caption.
    if (event->button() != Qt::LeftButton)
        return QFrame::mousePressEvent(event);
    if (windowHandle() && windowHandle()->startSystemMove())
        return;
    m_dragging = true;
    m_grab = event->position().toPoint();
}

void TickerWindow::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging)
        move(event->globalPosition().toPoint() - m_grab);
    else
        QFrame::mouseMoveEvent(event);
}

void TickerWindow::mouseReleaseEvent(QMouseEvent* event)
{
    m_dragging = false;
    QFrame::mouseReleaseEvent(event);
}

void TickerWindow::closeEvent(QCloseEvent* event)
{
    // Only the tray menu item shows and hides the ticker; a close request goes through it too.
    event->ignore();
    Q_EMIT closeRequested();
}

} // namespace ticker
