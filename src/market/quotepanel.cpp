#include "market/quotepanel.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace market {

namespace {

QLabel* makeLabel(QWidget* parent, const QString& name, const QString& text)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);   // every value comes from the quote service
    label->setText(text);
    label->setObjectName(name);
    return label;
}

QFrame* makePanel(QWidget* parent, const char* name)
{
    auto* frame = new QFrame(parent);
    frame->setObjectName(QString::fromLatin1(name));
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Sunken);
    return frame;
}

} // namespace

QuotePanel::QuotePanel(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("QuotePanel"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(2);

    QFrame* panel3 = makePanel(this, "Panel3");
    auto* grid = new QGridLayout(panel3);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(3);
    const struct { const char* caption; const char* captionName; const char* value; const char* initial; } cells[] = {
        {"最新价：", "Label1", "Label2", "0"},   {"涨跌幅：", "Label43", "Label44", "0"},
        {"涨跌：", "Label3", "Label4", "0"},     {"", "Label28", "Label29", "0"},
        {"买入价①", "Label35", "Label38", ""},  {"卖出价①", "Label36", "Label37", ""},
        {"成交量：", "Label5", "Label8", "0"},   {"成交金额：", "Label6", "Label7", "0"},
    };
    int i = 0;
    for (const auto& cell : cells) {
        const int row = i / 2, col = (i % 2) * 2;
        grid->addWidget(makeLabel(panel3, QString::fromLatin1(cell.captionName),
                                  QString::fromUtf8(cell.caption)), row, col);
        QLabel* v = makeLabel(panel3, QString::fromLatin1(cell.value), QString::fromUtf8(cell.initial));
        v->setMinimumWidth(70);
        grid->addWidget(v, row, col + 1);
        ++i;
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    outer->addWidget(panel3);

    QFrame* panel1 = makePanel(this, "Panel1");
    auto* row = new QHBoxLayout(panel1);
    row->setContentsMargins(6, 3, 6, 3);
    row->addWidget(makeLabel(panel1, QStringLiteral("Label25"), QStringLiteral("开盘价：")));
    row->addWidget(makeLabel(panel1, QStringLiteral("Label23"), QStringLiteral("最高价：")));
    row->addWidget(makeLabel(panel1, QStringLiteral("Label24"), QStringLiteral("最低价：")));
    outer->addWidget(panel1);
}

QColor QuotePanel::toneColour(Tone tone)
{
    return tone == Tone::Fall ? QColor(0, 128, 0) : QColor(255, 0, 0);
}

QLabel* QuotePanel::value(const QString& name) const
{
    return findChild<QLabel*>(name);
}

void QuotePanel::apply(const QList<LabelUpdate>& updates)
{
    for (const LabelUpdate& u : updates) {
        QLabel* label = value(u.label);
        if (!label)
            continue;
        if (u.setText)
            label->setText(u.text);
        if (u.tone != Tone::Keep) {
            QPalette p = label->palette();
            p.setColor(QPalette::WindowText, toneColour(u.tone));
            label->setPalette(p);
        }
    }
}

void QuotePanel::clearLastTrade()
{
    QLabel* label = value(QStringLiteral("Label29"));
    label->setText(QStringLiteral("0"));
    label->setPalette(QPalette());
}

void QuotePanel::showQuote(const StockQuote& quote)
{
    m_last = quote;
    apply(quotePanelUpdates(quote));
}

IndexBanner::IndexBanner(QWidget* parent) : QLabel(parent)
{
    setObjectName(QStringLiteral("Panel4"));
    setTextFormat(Qt::PlainText);
    setAutoFillBackground(true);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setIndent(6);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::black);
    p.setColor(QPalette::WindowText, QColor(255, 0, 0));   // red until the first line comes
    setPalette(p);
    QFont f = font();
    f.setPixelSize(11);   // a whole summary line (about 120 characters) fits the width
    setFont(f);
}

void IndexBanner::showLine(const QString& line, bool falling)
{
    setText(line);
    QPalette p = palette();
    p.setColor(QPalette::WindowText, falling ? QColor(0, 255, 0) : QColor(255, 0, 0));
    setPalette(p);
}

} // namespace market
