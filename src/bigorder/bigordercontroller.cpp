#include "bigorder/bigordercontroller.h"

#include "bigorder/bigorderwindows.h"
#include "core/appstate.h"
#include "core/clock.h"
#include "core/prompter.h"
#include "core/settings.h"
#include "net/pageloader.h"
#include "widgets/widgets.h"
#include "widgets/windowholds.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QVBoxLayout>

namespace bigorder {

namespace {

// GroupBox4's caption until a stock's hourly chart is drawn.
constexpr QStringView kHourlyCaption = u"大单成交分时图";

QGroupBox* chartBox(QWidget* parent, const char* name, const QString& caption, BarChart* chart,
                    QCheckBox* box)
{
    auto* group = new QGroupBox(caption, parent);
    group->setObjectName(QString::fromLatin1(name));
    QFont f = group->font();
    f.setPixelSize(11);   // a caption with the stock's name fits the box's width
    group->setFont(f);
    auto* layout = new QVBoxLayout(group);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(0);
    chart->setParent(group);
    layout->addWidget(chart, 1);
    box->setParent(group);
    layout->addWidget(box, 0, Qt::AlignLeft);
    return group;
}

QCheckBox* checkBox(const char* name, const QString& text)
{
    auto* box = new QCheckBox(text);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

} // namespace

BigOrderController::BigOrderController(app::AppState& state, const app::Settings& settings,
                                       app::Clock& clock, app::Prompter& prompter,
                                       QWidget& mainWindow, QObject* parent)
    : QObject(parent), m_state(state), m_settings(settings), m_clock(clock), m_prompter(prompter),
      m_main(mainWindow)
{
    const char* loaderNames[] = {"WebBrowser2", "WebBrowser3", "WebBrowser4"};
    for (int i = 0; i < 3; ++i) {
        auto* loader = new net::PageLoader(this);
        loader->setObjectName(QString::fromLatin1(loaderNames[i]));
        m_loaders[i] = loader;
        const Page page = Page(i);
        // A page that fails (unreachable, error status, time-out, too large) completes like a page
        // without data: its lists are emptied.
        connect(loader, &net::PageLoader::loaded, this,
                [this, page](const QString&, const QByteArray& body, const QByteArray& type) {
                    completed(page, net::PageLoader::decodeDocument(body, type));
                });
        connect(loader, &net::PageLoader::failed, this,
                [this, page](const QString&, const QString&) { completed(page, QString()); });
    }

    m_hourlyChart = new BarChart("Chart1", true, false);
    m_dayChart = new BarChart("Chart2", false, false);
    m_detailsBox = checkBox("CheckBox2", QStringLiteral("详情"));
    m_tenDayBox = checkBox("CheckBox1", QStringLiteral("10日"));
    m_hourlyBox = chartBox(&m_main, "GroupBox4", kHourlyCaption.toString(), m_hourlyChart, m_detailsBox);
    m_dayBox = chartBox(&m_main, "GroupBox3", QStringLiteral("资金流向（数据来自千股千评,仅供参考）"),
                        m_dayChart, m_tenDayBox);
    connect(m_hourlyChart, &BarChart::mouseMoved, this, &BigOrderController::chartMouseMoved);
    connect(m_dayChart, &BarChart::mouseMoved, this, &BigOrderController::chartMouseMoved);
    // Only the user's click opens a window; unticking on close does not.
    connect(m_tenDayBox, &QCheckBox::clicked, this, &BigOrderController::CheckBox1Click);
    connect(m_detailsBox, &QCheckBox::clicked, this, &BigOrderController::CheckBox2Click);

    // Top-level windows of their own: disabling the main window must not disable them.
    m_tenDay = std::make_unique<TenDayWindow>();
    m_pie = std::make_unique<PieWindow>();
    connect(m_tenDay.get(), &ChartWindow::closed, this, [this] { windowClosed(m_tenDayBox); });
    connect(m_pie.get(), &ChartWindow::closed, this, [this] { windowClosed(m_detailsBox); });
}

BigOrderController::~BigOrderController() = default;

net::PageLoader& BigOrderController::loader(Page page) const
{
    return *m_loaders[int(page)];
}

void BigOrderController::load(Page page, const QString& code)
{
    m_requested[int(page)] = code;
    m_loaders[int(page)]->load(pageAddress(m_settings.BigOrderBase, code, page));
}

void BigOrderController::loadpages(const QString& code)
{
    load(Page::Hourly, code);
    load(Page::Day, code);
    load(Page::Pie, code);
}

void BigOrderController::reloadDuringSession()
{
    if (!inReloadHours(m_clock.now().time()) || m_state.CurrentCode.isEmpty())
        return;
    load(Page::Hourly, m_state.CurrentCode);
    load(Page::Pie, m_state.CurrentCode);
}

void BigOrderController::resetHourlyFlow()
{
    m_flowState.reset();
    m_lists.HourBuyList.clear();
    m_lists.HourSellList.clear();
}

void BigOrderController::clearHourlyChart()
{
    m_hourlyChart->clearSeries();
    m_hourlyBox->setTitle(kHourlyCaption.toString());
}

void BigOrderController::clearDayAndPie()
{
    for (QStringList* list : {&m_lists.DayBuyList, &m_lists.DaySellList, &m_lists.DayLabelList,
                              &m_lists.PieValueList, &m_lists.PieColourList})
        list->clear();
}

void BigOrderController::newDay()
{
    resetHourlyFlow();
    clearHourlyChart();
    m_lists.PieValueList.clear();
    m_lists.PieColourList.clear();
}

void BigOrderController::completed(Page page, const QString& document)
{
    // A page asked for another stock than the one now shown is dropped.
    if (m_requested[int(page)] != m_state.CurrentCode)
        return;
    switch (page) {
    case Page::Hourly: WebBrowser2DocumentComplete(document); break;
    case Page::Day: WebBrowser3DocumentComplete(document); break;
    case Page::Pie: WebBrowser4DocumentComplete(document); break;
    }
    Q_EMIT pageParsed(page);
}

void BigOrderController::WebBrowser2DocumentComplete(const QString& document)
{
    if (parseHourPage(bodyMarkup(document), m_lists))
        drawhours();
}

void BigOrderController::WebBrowser3DocumentComplete(const QString& document)
{
    parseDayPage(bodyMarkup(document), m_lists);
    drawdays();
}

void BigOrderController::WebBrowser4DocumentComplete(const QString& document)
{
    parsePiePage(bodyMarkup(document), m_lists);
}

bool BigOrderController::report(const QString& error)
{
    if (error.isEmpty())
        return true;
    m_prompter.error(error);
    return false;
}

void BigOrderController::drawhours()
{
    const BarChartData data = hourChart(m_state.CurrentName, m_state.CurrentCode, m_lists);
    m_hourlyBox->setTitle(data.caption);
    m_hourlyChart->showBars(data);
    report(data.error);
}

void BigOrderController::drawdays()
{
    const BarChartData data = bigorder::dayChart(m_state.CurrentName, m_state.CurrentCode, m_lists);
    m_dayBox->setTitle(data.caption);
    m_dayChart->showBars(data);
    report(data.error);
}

void BigOrderController::CheckBox1Click()
{
    const TenDayData data = tenDayChart(m_state.CurrentName, m_state.CurrentCode, m_lists);
    m_tenDay->fill(data);
    if (!report(data.chart.error))
        return;
    app::centreOnScreen(m_tenDay.get());
    app::WindowHolds::of(m_main).take(*m_tenDay);
    m_tenDay->show();
    m_tenDay->raise();
}

void BigOrderController::CheckBox2Click()
{
    dbshow();
}

void BigOrderController::dbshow()
{
    const PieData data = pieChart(m_state.CurrentName, m_state.CurrentCode, m_clock.now().date(), m_lists);
    m_pie->fill(data);
    if (!report(data.error))
        return;
    app::centreOnScreen(m_pie.get());
    m_pie->show();
    m_pie->raise();
    app::WindowHolds::of(m_main).take(*m_pie);
}

void BigOrderController::windowClosed(QCheckBox* box)
{
    box->setChecked(false);   // a programmatic change does not emit clicked(): nothing reopens
}

void BigOrderController::Timer7Timer()
{
    const FlowTick tick = flowTick(m_clock.now(), m_lists, m_flowState);
    if (tick.totalsChanged && m_flow.setTotals)
        m_flow.setTotals(tick.totals, QColor(tick.totalsColour));
    if (!tick.announcement)
        return;
    const FlowAnnouncement& a = *tick.announcement;
    if (m_flow.fill)
        m_flow.fill(m_state.CurrentName + u'(' + m_state.CurrentCode + u')', a.text,
                    QColor(a.inflow ? kRed : kGreen), a.inflow);
    if (m_flow.show && !(m_flow.paused && m_flow.paused()))
        m_flow.show();
    if (!m_pie->isVisible() && !m_pie->paused())
        dbshow();
}

void BigOrderController::N6Click()
{
    m_pie->resumeFromTray();
}

} // namespace bigorder
