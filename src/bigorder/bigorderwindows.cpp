#include "bigorder/bigorderwindows.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace bigorder {

namespace {

QFont smallFont(int pixels, bool bold = false)
{
    QFont f;
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

} // namespace

void ChartWindow::closeEvent(QCloseEvent* event)
{
    event->ignore();
    hide();
    Q_EMIT closed();
}

TenDayWindow::TenDayWindow(QWidget* parent) : ChartWindow(parent)
{
    setObjectName(QStringLiteral("TForm13"));
    setWindowTitle(QStringLiteral("近10日大单成交显示图"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    m_chart = new BarChart("Chart2", true, true, this);
    m_chart->setTitleStyle(smallFont(14, true), QColor(kGreen));
    layout->addWidget(m_chart, 1);
    m_totals = new QLabel(this);
    m_totals->setObjectName(QStringLiteral("Label1"));
    m_totals->setTextFormat(Qt::PlainText);
    m_totals->setAlignment(Qt::AlignCenter);
    m_totals->setFont(smallFont(13, true));
    m_totals->setFixedHeight(24);
    layout->addWidget(m_totals);
    setFixedSize(600, 380);
}

void TenDayWindow::fill(const TenDayData& data)
{
    m_chart->clearSeries();
    if (!data.totals.isEmpty()) {
        m_totals->setText(data.totals);
        QPalette p = m_totals->palette();
        p.setColor(QPalette::WindowText, QColor(data.totalsColour));
        m_totals->setPalette(p);
    }
    if (!data.chart.caption.isEmpty()) {
        m_chart->setTitle(data.chart.caption);
        m_chart->showBars(data.chart);
    }
}

PieWindow::PieWindow(QWidget* parent) : ChartWindow(parent)
{
    setObjectName(QStringLiteral("TForm14"));
    setWindowTitle(QStringLiteral("今日大单成交分布图"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint
                   | Qt::MSWindowsFixedSizeDialogHint);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    m_chart = new PieChart("Chart1", this);
    m_chart->setTitleStyle(smallFont(14, true), QColor(kGreen));
    layout->addWidget(m_chart, 1);
    m_pauseBox = new QCheckBox(QStringLiteral("暂停提示"), this);
    m_pauseBox->setObjectName(QStringLiteral("CheckBox1"));
    layout->addWidget(m_pauseBox);
    connect(m_pauseBox, &QCheckBox::clicked, this, [this](bool checked) {
        m_paused = checked;
        Q_EMIT pauseChanged(checked);
    });
    setFixedSize(560, 420);
}

void PieWindow::fill(const PieData& data)
{
    m_chart->setTitle(data.title);
    m_chart->setSlices(data.slices);
}

void PieWindow::resumeFromTray()
{
    m_paused = false;
    m_pauseBox->setChecked(false);   // a programmatic change does not emit clicked()
}

} // namespace bigorder
