#include "bigorder/bigorderwindows.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGraphicsLayout>
#include <QLabel>
#include <QLegend>
#include <QPieSeries>
#include <QPieSlice>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>

namespace bigorder {

namespace {

QFont smallFont(int pixels, bool bold = false)
{
    QFont f;
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

void plainChart(QChart* chart)
{
    chart->setBackgroundBrush(Qt::white);
    chart->setBackgroundRoundness(0);
    chart->setMargins(QMargins(2, 2, 2, 2));
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->setAnimationOptions(QChart::NoAnimation);
}

void greenBoldTitle(QChart* chart)
{
    chart->setTitleFont(smallFont(14, true));
    chart->setTitleBrush(QColor(0, 128, 0));
}

} // namespace

BarChart::BarChart(const char* name, bool legend, bool valueLabels, QWidget* parent)
    : QChartView(parent), m_valueLabels(valueLabels)
{
    setObjectName(QString::fromLatin1(name));
    setRenderHint(QPainter::Antialiasing);
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
    QChart* c = chart();
    plainChart(c);
    c->legend()->setVisible(legend);
    c->legend()->setAlignment(Qt::AlignTop);
    c->legend()->setFont(smallFont(10));
}

void BarChart::clearSeries()
{
    QChart* c = chart();
    c->removeAllSeries();
    for (QAbstractAxis* axis : c->axes()) {
        c->removeAxis(axis);
        delete axis;
    }
}

QBarSeries* BarChart::bars() const
{
    const QList<QAbstractSeries*> all = chart()->series();
    return all.isEmpty() ? nullptr : qobject_cast<QBarSeries*>(all.first());
}

void BarChart::showBars(const BarChartData& data)
{
    clearSeries();
    QChart* c = chart();
    auto* series = new QBarSeries;
    series->setLabelsVisible(false);
    auto* buy = new QBarSet(kBuySeriesTitle);
    buy->setColor(QColor(kRed));
    buy->setBorderColor(QColor(kRed));
    auto* sell = new QBarSet(kSellSeriesTitle);
    sell->setColor(QColor(kGreen));
    sell->setBorderColor(QColor(kGreen));
    QStringList categories;
    double low = 0, high = 0;
    for (const BarPoint& p : data.buy) {
        buy->append(p.value);
        categories << p.label;
        low = std::min(low, p.value);
        high = std::max(high, p.value);
    }
    for (qsizetype i = 0; i < data.sell.size(); ++i) {
        sell->append(data.sell[i].value);
        if (i >= categories.size())
            categories << data.sell[i].label;
        low = std::min(low, data.sell[i].value);
        high = std::max(high, data.sell[i].value);
    }
    series->append(buy);
    series->append(sell);
    c->addSeries(series);

    auto* x = new QBarCategoryAxis;
    x->setCategories(categories);
    x->setLabelsFont(smallFont(9));
    auto* y = new QValueAxis;
    y->setLabelsFont(smallFont(9));
    y->setLabelFormat(QStringLiteral("%.0f"));
    y->setRange(low, high > low ? high * 1.1 : low + 1);
    y->setLabelsVisible(m_valueLabels);
    c->addAxis(x, Qt::AlignBottom);
    c->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
}

void BarChart::mouseMoveEvent(QMouseEvent* event)
{
    QChartView::mouseMoveEvent(event);
    Q_EMIT mouseMoved();
}

bool BarChart::event(QEvent* event)
{
    // A move over the frame itself, outside the viewport, counts as well.
    if (event->type() == QEvent::MouseMove)
        Q_EMIT mouseMoved();
    return QChartView::event(event);
}

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
    greenBoldTitle(m_chart->chart());
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
        m_chart->chart()->setTitle(data.chart.caption);
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
    m_view = new QChartView(this);
    m_view->setObjectName(QStringLiteral("Chart1"));
    m_view->setRenderHint(QPainter::Antialiasing);
    QChart* c = m_view->chart();
    plainChart(c);
    greenBoldTitle(c);
    c->legend()->setVisible(false);
    m_series = new QPieSeries;
    m_series->setObjectName(QStringLiteral("Series1"));
    m_series->setPieSize(0.6);
    c->addSeries(m_series);
    layout->addWidget(m_view, 1);
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
    m_series->clear();
    m_view->chart()->setTitle(data.title);
    for (const PieSlice& s : data.slices) {
        auto* slice = new QPieSlice(s.label, double(s.size));
        slice->setColor(QColor(s.colour));
        slice->setBorderColor(Qt::white);
        // Empty buckets keep their slice, but their labels would pile up on one spot.
        slice->setLabelVisible(s.size > 0);
        slice->setLabelFont(smallFont(11));
        m_series->append(slice);
    }
}

void PieWindow::resumeFromTray()
{
    m_paused = false;
    m_pauseBox->setChecked(false);   // a programmatic change does not emit clicked()
}

} // namespace bigorder
