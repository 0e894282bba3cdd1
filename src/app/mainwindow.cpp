#include "app/mainwindow.h"

#include "app/programicon.h"
#include "app/statuscheck.h"
#include "app/tray.h"
#include "core/calendar.h"
#include "core/eventlog.h"
#include "core/guard.h"
#include "core/stockcode.h"
#include "core/stockcodefile.h"
#include "info/cellgrid.h"
#include "info/companioncontroller.h"
#include "market/marketcontroller.h"
#include "market/quotepanel.h"
#include "net/httpclient.h"
#include "recommend/recommendwindow.h"
#include "widgets/webpane.h"
#include "widgets/widgets.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QScopedValueRollback>
#include <QStatusBar>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

namespace app {

namespace {

constexpr int kClientWidth = 932;
constexpr int kClientHeight = 628;

} // namespace

MainWindow::MainWindow(AppContext& context, QWidget* splash, QWidget* parent)
    : QWidget(parent), m_ctx(context), m_state(context.state), m_splash(splash)
{
    setObjectName(QStringLiteral("TForm1"));
    setWindowTitle(kAppTitle);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kClientWidth, kClientHeight);
    setAutoFillBackground(true);

    // The create handler: the data folder, the server address, the working lists.
    m_state.SystemDir = resolveSystemDir(m_ctx.settings);
    m_state.ServerBase = m_ctx.settings.ServerBase;

    IdHTTP1 = new net::HttpClient(QStringLiteral("IdHTTP1"), this);
    IdHTTP2 = new net::HttpClient(QStringLiteral("IdHTTP2"), this);
    IdHTTP3 = new net::HttpClient(QStringLiteral("IdHTTP3"), this);
    IdHTTP5 = new net::HttpClient(QStringLiteral("IdHTTP5"), this);
    m_forum = new info::ForumController(m_state, m_ctx.settings, m_ctx.clock, m_ctx.opener, *IdHTTP5, this);
    m_news = new info::StockNewsController(m_state, m_ctx.settings, m_ctx.clock, m_ctx.opener, *IdHTTP2, this);
    m_market = new market::MarketController(m_state, m_ctx.settings, m_ctx.prompter, m_ctx.index, *IdHTTP1, this);

    buildInfoControllers();
    buildControls();
    buildTimers();
    // Image2MouseMove: moving over the quote panel clears the channel column's highlight, as the
    // TV start screen does; the two big-order charts do the same below.
    m_tv->clearHighlightOnMouseMove(m_market->quotePanel());
    m_alerts = new alerts::AlertController(m_ctx.alerts, m_ctx.settings, m_ctx.clock, m_ctx.prompter,
                                           *Timer4, *Timer1, this);
    connect(Timer4, &QTimer::timeout, m_alerts, &alerts::AlertController::Timer4Timer);
    connect(Timer6, &QTimer::timeout, m_alerts, &alerts::AlertController::Timer6Timer);
    m_bigOrder = new bigorder::BigOrderController(m_state, m_ctx.settings, m_ctx.clock, m_ctx.prompter,
                                                  *this, this);
    m_bigOrder->dayBox()->setGeometry(406, 342, 260, 150);      // GroupBox3
    m_bigOrder->hourlyBox()->setGeometry(670, 342, 260, 150);   // GroupBox4
    // Chart1MouseMove, Chart2MouseMove.
    connect(m_bigOrder, &bigorder::BigOrderController::chartMouseMoved, this, [this] { m_tv->Image24MouseMove(); });
    connect(Timer7, &QTimer::timeout, this, [this] {
        guarded(m_ctx.prompter, [this] { m_bigOrder->Timer7Timer(); });
    });
    setWindowIcon(programIcon());
    m_tray = new Tray(windowIcon(), kAppTitle, this);
    connect(m_tray, &Tray::showMainWindow, this, &MainWindow::showFromTray);
    connect(m_tray, &Tray::exitProgram, this, &MainWindow::exitFromTray);
}

MainWindow::~MainWindow() = default;

void MainWindow::buildControls()
{
    // Top banner: the index summary lines.
    m_market->banner()->setGeometry(0, 0, kClientWidth, 26);

    // Left column: the TV viewer, site ratings and blog mentions, links, online users.
    m_tv = new tv::TvController(m_state, m_ctx.prompter, m_ctx.opener, *IdHTTP1,
                                [this](const QString& text) { setStatusPanel(3, text); }, this);
    m_tv->panel()->setParent(this);
    m_tv->panel()->setGeometry(2, 28, 400, 366);

    m_ratingsCaption = placedLabel(this, "Label21", QStringLiteral("在各大网站对该股的综合评价："), {4, 398, 396, 18});
    m_companion->ComboBox1()->setGeometry(4, 418, 396, 24);
    m_blogCaption = placedLabel(this, "Label26", QStringLiteral("当前知名博客提及该股："), {4, 446, 396, 18});
    m_blogs->ComboBox2()->setGeometry(4, 466, 396, 24);
    m_blogs->Label41()->setGeometry(4, 492, 372, 18);
    for (QLabel* picture : {m_blogs->Image9(), m_blogs->Image10(), m_blogs->Image12()})
        picture->move(378, 491);

    m_companion->Label31()->setGeometry(4, 514, 110, 20);
    m_companion->Label32()->setGeometry(120, 514, 110, 20);
    placedLabel(this, "Label16", QStringLiteral("在线人数"), {240, 514, 56, 20});
    m_onlineCount = placedLabel(this, "Label20", QStringLiteral("0"), {298, 514, 36, 20});
    m_companion->Label11()->setGeometry(336, 514, 32, 20);

    auto* settingsLink = new ClickLabel(QStringLiteral("Label18"), QStringLiteral("股价提示设置"),
                                        ClickLabel::Hover::BackgroundOnly, this);
    settingsLink->setGeometry(4, 540, 96, 22);
    connect(settingsLink, &ClickLabel::clicked, this, &MainWindow::settingsRequested);
    QFont linkFont = settingsLink->font();
    linkFont.setBold(true);
    settingsLink->setFont(linkFont);
    auto* fetion = new ClickLabel(QStringLiteral("Image15"), QString(), ClickLabel::Hover::None, this);
    fetion->setPixmap(glyph(Glyph::Fetion, 22));
    fetion->setGeometry(104, 540, 24, 22);
    fetion->setToolTip(QStringLiteral("不了解飞信，点这里进入中国移动官方网站查询"));
    connect(fetion, &ClickLabel::clicked, this,
            [this] { m_ctx.opener.open(m_ctx.settings.FetionHomeUrl); });

    m_adStrip = new app::WebPane(QStringLiteral("WebBrowser6"), m_ctx.opener, this);
    m_adStrip->setGeometry(2, 566, 400, 36);
    m_adStrip->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    // Right part, first row: code entry and quote panel beside the stock page.
    placedLabel(this, "Label17", QStringLiteral("输入股票代码："), {406, 30, 100, 24});
    m_codeEdit = new DigitEdit(QStringLiteral("Edit1"), 6, this);
    m_codeEdit->setGeometry(506, 30, 120, 24);
    auto* search = new ClickLabel(QStringLiteral("Image17"), QString(), ClickLabel::Hover::None, this);
    search->setPixmap(glyph(Glyph::Search, 24));
    search->setToolTip(QStringLiteral("查询"));
    search->setAccessibleName(QStringLiteral("查询"));
    search->setGeometry(632, 30, 26, 24);
    connect(search, &ClickLabel::clicked, this, &MainWindow::ChangeStock);

    m_market->quotePanel()->setGeometry(406, 56, 324, 126);

    auto* panel10 = new QFrame(this);
    panel10->setObjectName(QStringLiteral("Panel10"));
    panel10->setFrameShape(QFrame::StyledPanel);
    panel10->setGeometry(734, 28, 196, 154);
    auto* p10 = new QVBoxLayout(panel10);
    p10->setContentsMargins(1, 1, 1, 1);
    m_stockPage = new app::WebPane(QStringLiteral("WebBrowser1"), m_ctx.opener, panel10);
    p10->addWidget(m_stockPage);

    // Forum posts.
    m_forumBox = new QGroupBox(QStringLiteral("网民对该股的最新热评（所有数据来自于各大股票论坛，仅供参考）"), this);
    m_forumBox->setObjectName(QStringLiteral("GroupBox1"));
    m_forumBox->setGeometry(406, 184, 524, 156);
    auto* fl = new QVBoxLayout(m_forumBox);
    fl->setContentsMargins(4, 2, 4, 4);
    fl->addWidget(m_forum->grid());

    // Stock news: rumours, reports, announcements and the latest investor comment; commentary.
    QGroupBox* news = m_news->newsBox();
    news->setParent(this);
    news->setGeometry(406, 494, 308, 82);
    m_news->placeInvestorLine(m_forum->latestLine(), m_forum->newMarker(), m_forum->foundAt());
    QGroupBox* commentary = m_news->commentaryBox();
    commentary->setParent(this);
    commentary->setGeometry(716, 494, 214, 82);

    auto* panel8 = new QFrame(this);
    panel8->setObjectName(QStringLiteral("Panel8"));
    panel8->setFrameShape(QFrame::StyledPanel);
    panel8->setGeometry(406, 578, 524, 24);
    // The news-flash line and its two icons (at one place) sit inside the panel.
    for (QLabel* control : {m_blogs->Image1(), m_blogs->Image19(), static_cast<QLabel*>(m_blogs->Label48())}) {
        const bool hidden = control->isHidden();
        control->setParent(panel8);
        control->setVisible(!hidden);
    }
    m_blogs->Image1()->move(4, 2);
    m_blogs->Image19()->move(4, 2);
    m_blogs->Label48()->setGeometry(26, 2, 494, 20);

    // Status bar: five panels.
    m_statusBar = new QStatusBar(this);
    m_statusBar->setObjectName(QStringLiteral("StatusBar1"));
    m_statusBar->setSizeGripEnabled(false);
    m_statusBar->setGeometry(0, kClientHeight - 24, kClientWidth, 24);
    QFont statusFont = m_statusBar->font();
    statusFont.setPixelSize(11);   // the alert status fits its 225-pixel panel
    m_statusBar->setFont(statusFont);
    const struct { const char* text; int width; } panels[] = {
        {"zodevudeV2.8", 120}, {"", 225}, {"准备搜索......", 160}, {"", 155}, {"", 50}};
    for (int i = 0; i < 5; ++i) {
        auto* panel = new QLabel(m_statusBar);
        panel->setTextFormat(Qt::PlainText);
        panel->setText(QString::fromUtf8(panels[i].text));
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setFixedWidth(panels[i].width);
        m_statusBar->addWidget(panel);
        m_statusPanels.append(panel);
    }
}

void MainWindow::buildTimers()
{
    auto make = [this](QTimer*& timer, const char* name, int ms, void (MainWindow::*tick)()) {
        timer = new QTimer(this);
        timer->setObjectName(QString::fromLatin1(name));
        timer->setInterval(m_ctx.clock.timerInterval(ms));
        if (tick)
            connect(timer, &QTimer::timeout, this, tick);
    };
    make(Timer1, "Timer1", 1000, &MainWindow::Timer1Timer);
    make(Timer2, "Timer2", 60000, &MainWindow::Timer2Timer);
    make(Timer3, "Timer3", 5000, &MainWindow::Timer3Timer);
    make(Timer4, "Timer4", 5000, nullptr);    // the alert tick, connected to the alert controller
    make(Timer5, "Timer5", 30000, nullptr);
    connect(Timer5, &QTimer::timeout, this, [this] { m_blogs->Timer5Timer(*Timer5); });
    make(Timer6, "Timer6", 1000, nullptr);    // the alerts' cooldown clock, likewise
    make(Timer7, "Timer7", 5000, nullptr);    // hourly flow announcements, the big-order controller's
    make(Timer8, "Timer8", 10, nullptr);
    make(Timer9, "Timer9", 30000, &MainWindow::Timer9Timer);
    connect(Timer8, &QTimer::timeout, this, [this] {
        Timer8->stop();
        if (m_splash)
            m_splash->hide();
    });
    // Running from creation: the forum refresh, the banner, the cooldown clock, the prompt.
    Timer2->start();
    Timer3->start();
    Timer6->start();
    Timer9->start();
}

QLabel* MainWindow::statusPanel(int index) const
{
    return m_statusPanels.value(index);
}

void MainWindow::setStatusPanel(int index, const QString& text)
{
    if (QLabel* panel = statusPanel(index))
        panel->setText(text);
}

void MainWindow::requestExit(int code)
{
    m_endRequested = true;
    m_exitCode = code;
    // Before the event loop runs (the first show happens then) main() reads endRequested()
    // and leaves; telling Qt to exit at that point would also cut short every later wait.
    if (QThread::currentThread()->loopLevel() > 0)
        QCoreApplication::exit(code);
}

void MainWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Shown again from the tray while the first show still waits on the network: that first show
    // carries on; running its steps a second time would load the TV lists twice.
    if (m_firstShowRunning)
        return;
    bool ok = true;
    if (!m_state.FirstShowDone) {
        const QScopedValueRollback running(m_firstShowRunning, true);
        ok = guarded(m_ctx.prompter, [this] { firstShowSteps(); });
        // Once the status check let the program run, a later step that failed (a flaky network)
        // must not leave the quote refresh, the alert tick and the blog search off for the run:
        // the failed step's own refresh (the next tick or click) tries it again.
        if (m_statusChecked && !m_endRequested)
            startRunTimers();
        if (!m_state.FirstShowDone) {
            Timer8->start();
            m_state.FirstShowDone = true;
        }
    }
    // A stock whose start-up reached its own panels gets its hourly announcements even when a
    // later site failed and ended `start` early.
    if ((ok || m_firstShowReachedStart) && !m_endRequested)
        Timer7->start();
}

void MainWindow::firstShowSteps()
{
    app::centreOnScreen(this);
    // An empty forum grid with its header, and the read marks of its empty row.
    m_forum->resetposts();
    createbase();
    sendbase();
    getbase();
    getmail(m_ctx, *IdHTTP1, [this](const QString& page) { m_tv->waitingPage().navigate(page); },
            [this] { requestExit(); });
    m_statusChecked = true;
    m_market->yzgp(m_state.CurrentCode);
    for (net::HttpClient* client : {IdHTTP1, IdHTTP2, IdHTTP5})
        client->setReadTimeout(6000);
    m_tv->preparePlayer();
    m_companion->readzhpj();
    m_companion->readtoday();
    m_tv->addtv();
    m_today = m_ctx.clock.now().date();
    m_tv->showToday(dateText(m_today));
    startRunTimers();
    m_companion->showLinkCaptions();
    m_tv->parkWaitingPage();
    m_adStrip->navigate(m_state.ServerBase + QStringLiteral("/gpcgad.html"));
    if (!m_state.CurrentCode.isEmpty()) {
        logEvent(m_ctx.clock.now(), QStringLiteral("stock"), m_state.CurrentCode + u' ' + m_state.CurrentName);
        m_bigOrder->loadpages(m_state.CurrentCode);
        m_firstShowReachedStart = true;
        start();
    }
}

void MainWindow::startRunTimers()
{
    // Once only: a tick waiting on the network keeps its own timer off until it ends, and a
    // second start here would let the next tick run inside that wait.
    if (m_runTimersStarted)
        return;
    m_runTimersStarted = true;
    Timer1->start();
    Timer4->start();
    Timer5->start();
}

void MainWindow::createbase()
{
    const QString path = m_state.SystemDir + u'/' + store::kAlertDatabaseFile;
    try {
        const store::Switches switches = m_ctx.store.createbase(path);
        ShowAlertStatus(switches.local, switches.phone);
    } catch (const store::StoreError& e) {
        // The file is left as it is; without the database the start-up cannot go on.
        m_ctx.prompter.error(QString::fromStdString(e.what()));
        throw SilentAbort{};
    }
}

void MainWindow::sendbase()
{
    m_ctx.store.sendbase(m_ctx.alerts);
}

void MainWindow::ShowAlertStatus(bool local, bool phone)
{
    setStatusPanel(1, store::alertStatusText(local, phone));
}

void MainWindow::getbase()
{
    // An empty file, or one whose first line is not a stock code, is treated like a missing one:
    // the program starts on 000001 and the next start() writes the file anew.
    const std::optional<QString> code =
        readStockCodeFile(m_state.SystemDir + u'/' + kStockCodeFile);
    if (code && isStockCode(*code)) {
        m_state.CurrentCode = *code;
        m_codeEdit->setText(*code);
        m_stockPage->navigate(m_state.ServerBase + QStringLiteral("/gpgetstock.asp?name=")
                              + m_state.CurrentCode);
    } else {
        m_state.CurrentCode = QStringLiteral("000001");
        m_codeEdit->setText(m_state.CurrentCode);
    }
    m_tv->loadLists();
}

void MainWindow::start()
{
    // A code that cannot be written ends start() silently, like any other failing step: the file
    // keeps the previous code and the next code change tries again.
    const QString code = m_codeEdit->text();
    if (!isStockCode(code))
        throw SilentAbort{};
    try {
        writeStockCodeFile(m_state.SystemDir + u'/' + kStockCodeFile, code);
    } catch (const std::runtime_error&) {
        throw SilentAbort{};
    }
    const StartFetches fetches = startFetches(m_ctx.clock.now());
    if (fetches.weekendQuote)
        m_market->getvtdate(m_state.CurrentCode);
    if (fetches.offHoursIndexAndQuote) {
        m_market->getvtzs();
        m_market->getvtdate(m_state.CurrentCode);
    }
    m_forum->resetposts();
    m_news->getyg(m_state.CurrentCode);
    m_news->clearAnnouncements();
    m_news->getqgqp(m_state.CurrentCode);
    m_news->getgg(m_state.CurrentCode);
    showStockCaptions();
    m_forum->getgbdata(m_state.CurrentCode);
    m_forum->showposts();
}

void MainWindow::showStockCaptions()
{
    const QString quoted = QStringLiteral("\"") + m_state.CurrentName + QStringLiteral("\"(")
                           + m_state.CurrentCode;
    m_forumBox->setTitle(QStringLiteral("网民对(") + m_state.CurrentName
                         + QStringLiteral(")的最新热评（所有数据仅供参考）"));
    m_ratingsCaption->setText(QStringLiteral("各大网站对") + quoted + QStringLiteral(")的评价"));
    m_blogCaption->setText(QStringLiteral("知名博客提及") + quoted + QStringLiteral(")的有"));
}

void MainWindow::ChangeStock()
{
    if (m_state.CodeChangeBusy)
        return;
    m_state.CodeChangeBusy = true;
    // The window takes no clicks or keys until the new stock is loaded: the code box is read once
    // more when it is written to the code file, and a link or check box of the stock panels would
    // act on lists that are being replaced.
    const InputBlock block(*this);
    bool found = false;
    guarded(m_ctx.prompter, [&] {
        const QString code = m_codeEdit->text();
        auto refuse = [this](const QString& text) {
            m_ctx.prompter.error(text);
            m_codeEdit->setFocus();
        };
        if (code.size() != 6)
            return refuse(QStringLiteral("必须输入六位股票代码!"));
        if (code[0] != u'6' && code[0] != u'3' && code[0] != u'0')
            return refuse(QStringLiteral("必须输入沪深股票及创业板代码"));
        if (m_market->yzgp(code).isEmpty())
            return refuse(QStringLiteral("您输入的股票不存在,请重新输入！"));
        found = true;
        stopTimer(*Timer7);
        m_state.CurrentCode = code;
        ++m_state.StockGeneration;
        m_market->clearLastTrade();
        m_forum->resetLatestPost();
        m_bigOrder->resetHourlyFlow();
        m_bigOrder->clearHourlyChart();
        m_bigOrder->clearDayAndPie();
        m_bigOrder->loadpages(m_state.CurrentCode);
        m_stockPage->navigate(m_state.ServerBase + QStringLiteral("/gpgetstock.asp?name=")
                              + m_state.CurrentCode);
        m_companion->readzhpj();
        start();
    });
    if (found) {
        m_blogs->resetDisplay();
        logEvent(m_ctx.clock.now(), QStringLiteral("stock"), m_state.CurrentCode + u' ' + m_state.CurrentName);
    }
    Timer7->start();
    m_state.CodeChangeBusy = false;
}

void MainWindow::buildInfoControllers()
{
    info::BlogController::Hooks hooks;
    hooks.showSearchState = [this](const QString& text) { setStatusPanel(2, text); };
    hooks.mainWindowInSight = [this] { return inSight(); };
    hooks.raiseNotice = [this](const info::BlogNotice& notice) {
        if (m_blogNoticeSink)
            m_blogNoticeSink(notice);
    };
    m_blogs = std::make_unique<info::BlogController>(m_state, m_ctx.settings, m_ctx.clock, m_ctx.prompter,
                                                     m_ctx.opener, *IdHTTP3, std::move(hooks), this);
    m_companion = std::make_unique<info::CompanionPagesController>(
        m_state, m_ctx.settings, m_ctx.clock, m_ctx.prompter, m_ctx.opener, *IdHTTP3, *IdHTTP5, *m_blogs,
        [this](const QString& count) { m_onlineCount->setText(count); }, this);
}

bool MainWindow::inSight() const
{
    // One of the program's own windows in front (a dialog, the pie window the hourly notice opens
    // by itself) leaves the main window in sight; another program's window in front does not.
    return isVisible() && !isMinimized() && QApplication::activeWindow() != nullptr;
}

void MainWindow::Timer1Timer()
{
    // The whole tick runs with the timer off: a slow index page must not let the next tick
    // start a second request inside this one's wait.
    TimerPause pause(*Timer1);
    guarded(m_ctx.prompter, [this] {
        if (m_state.IndexTickCount % 3 == 0)
            m_market->getvtzs();
        ++m_state.IndexTickCount;
        if (inQuoteHours(m_ctx.clock.now().time()) && !m_state.CurrentCode.isEmpty()
            && !m_state.HiddenInTray)
            m_market->getvtdate(m_state.CurrentCode);
    });
}

void MainWindow::Timer2Timer()
{
    // The timer is off for the whole tick, also while the online count waits on the network; a
    // failure ends the tick silently and the next minute tries again (the count is not raised).
    TimerPause pause(*Timer2);
    guarded(m_ctx.prompter, [this] {
        m_bigOrder->reloadDuringSession();
        m_companion->tenthTickOnlineCount();
        ++m_state.MinuteTickCount;
        m_forum->minuteRefresh();
    });
}

void MainWindow::Timer3Timer()
{
    rollDay();
    ++m_state.BannerTickCount;
    m_market->showBanner(m_state.BannerTickCount);
}

void MainWindow::Timer9Timer()
{
    if (!m_recommend || m_recommend->windowVisible())
        return;
    guarded(m_ctx.prompter, [this] {
        TimerPause pause(*Timer9);
        m_recommend->addlabel();
        m_recommend->promptIfNew();
    });
}

void MainWindow::rollDay()
{
    // The first show and a code change set the date and reload the panels themselves: the roll
    // waits for the tick after them.
    const QDate today = m_ctx.clock.now().date();
    if (today == m_today || m_firstShowRunning || m_state.CodeChangeBusy)
        return;
    const bool newDay = m_today.isValid();
    m_today = today;
    m_tv->showToday(dateText(today));
    if (!newDay)
        return;   // the first show ended before the date line: it is written now, nothing else
    m_forum->newDay();
    m_news->newDay();
    m_bigOrder->newDay();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    m_tv->writeLists();
    m_tv->stopForClose();
    m_tray->remove();
    event->accept();
    requestExit(0);
}

void MainWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // Minimising sends the window to the tray. Where the platform has no tray the window stays
    // minimised on the taskbar instead, so it can always be brought back.
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized)
        && Tray::available() && !m_state.HiddenInTray)
        QTimer::singleShot(0, this, &MainWindow::windowmin);
}

void MainWindow::windowmin()
{
    m_state.HiddenInTray = true;
    m_tray->add();
    m_tv->stopForTray();
    hide();
}

void MainWindow::showFromTray()
{
    m_state.HiddenInTray = false;
    // A tool window has no taskbar button; the tray icon stays as the way back.
    setWindowFlag(Qt::Tool, true);
    setWindowState(windowState() & ~Qt::WindowMinimized);
    app::centreOnScreen(this);
    show();
    raise();
    activateWindow();
}

void MainWindow::exitFromTray()
{
    m_tray->remove();
    requestExit(0);
}

} // namespace app
