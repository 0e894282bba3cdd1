#include "app/mainwindow.h"

#include "app/programicon.h"
#include "app/statuscheck.h"
#include "app/tray.h"
#include "core/calendar.h"
#include "core/companion.h"
#include "core/guard.h"
#include "core/stockcode.h"
#include "core/stockcodefile.h"
#include "core/stockticket.h"
#include "market/quote.h"
#include "market/quotepanel.h"
#include "net/codecs.h"
#include "net/httpclient.h"
#include "recommend/recommendwindow.h"
#include "widgets/webpane.h"
#include "widgets/widgets.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QPainter>
#include <QStatusBar>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

namespace app {

namespace {

constexpr int kClientWidth = 932;
constexpr int kClientHeight = 628;

QLabel* label(QWidget* parent, const char* name, const QString& text, const QRect& geometry)
{
    return placedLabel(parent, name, text, geometry);
}

QGroupBox* groupBox(QWidget* parent, const char* name, const QString& title, const QRect& geometry)
{
    auto* box = new QGroupBox(title, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(geometry);
    return box;
}

// Small pictures drawn at run time: a magnifier for the search button, status dots and the
// Fetion badge. They carry no text.
QPixmap glyph(char kind, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (kind) {
    case 's': {   // magnifier
        p.setPen(QPen(QColor(0, 0, 128), size / 8.0));
        p.drawEllipse(QRectF(size * 0.12, size * 0.12, size * 0.5, size * 0.5));
        p.drawLine(QPointF(size * 0.55, size * 0.55), QPointF(size * 0.88, size * 0.88));
        break;
    }
    case 'f':   // Fetion badge: a green speech bubble
        p.setBrush(QColor(40, 160, 60));
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(1, 1, size - 2, size * 0.7), 4, 4);
        p.drawPolygon(QPolygonF({QPointF(size * 0.25, size * 0.65), QPointF(size * 0.5, size * 0.65),
                                 QPointF(size * 0.2, size * 0.95)}));
        break;
    default: {    // status dot: grey none, red found
        p.setBrush(kind == 'r' ? QColor(220, 0, 0) : QColor(150, 150, 150));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QRectF(2, 2, size - 4, size - 4));
    }
    }
    return pixmap;
}

QLabel* picture(QWidget* parent, const char* name, char kind, const QRect& geometry)
{
    auto* l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setPixmap(glyph(kind, qMin(geometry.width(), geometry.height())));
    l->setGeometry(geometry);
    return l;
}

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

    buildControls();
    buildTimers();
    m_alerts = new alerts::AlertController(m_ctx.alerts, m_ctx.settings, m_ctx.clock, m_ctx.prompter,
                                           *Timer4, *Timer1, this);
    connect(Timer4, &QTimer::timeout, m_alerts, &alerts::AlertController::Timer4Timer);
    connect(Timer6, &QTimer::timeout, m_alerts, &alerts::AlertController::Timer6Timer);
    setWindowIcon(programIcon());
    m_tray = new Tray(windowIcon(), kAppTitle, this);
    connect(m_tray, &Tray::showMainWindow, this, &MainWindow::showFromTray);
    connect(m_tray, &Tray::exitProgram, this, &MainWindow::exitFromTray);
}

MainWindow::~MainWindow() = default;

void MainWindow::buildControls()
{
    // Top banner: the index summary lines, white on black like a market board.
    m_banner = label(this, "Panel4", QString(), {0, 0, kClientWidth, 26});
    m_banner->setAutoFillBackground(true);
    m_banner->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_banner->setIndent(6);
    QPalette bp = m_banner->palette();
    bp.setColor(QPalette::Window, Qt::black);
    bp.setColor(QPalette::WindowText, QColor(255, 0, 0));
    m_banner->setPalette(bp);
    QFont bannerFont = m_banner->font();
    bannerFont.setPixelSize(11);   // a whole summary line (about 120 characters) fits the width
    m_banner->setFont(bannerFont);

    // Left column: the TV viewer, site ratings and blog mentions, links, online users.
    auto* panel7 = new QFrame(this);
    panel7->setObjectName(QStringLiteral("Panel7"));
    panel7->setFrameShape(QFrame::StyledPanel);
    panel7->setGeometry(2, 28, 368, 366);
    m_mediaPlayer = new QWidget(panel7);
    m_mediaPlayer->setObjectName(QStringLiteral("WindowsMediaPlayer1"));
    m_mediaPlayer->setAutoFillBackground(true);
    QPalette mp = m_mediaPlayer->palette();
    mp.setColor(QPalette::Window, Qt::black);
    m_mediaPlayer->setPalette(mp);
    m_mediaPlayer->setGeometry(2, 2, 363, 328);
    m_waitingPage = new app::WebPane(QStringLiteral("WebBrowser5"), m_ctx.opener, panel7);
    m_waitingPage->setGeometry(2, 2, 363, 328);
    m_tvStrip = new QFrame(panel7);
    m_tvStrip->setObjectName(QStringLiteral("Panel6"));
    m_tvStrip->setGeometry(2, 332, 363, 30);
    label(m_tvStrip, "Label49", QStringLiteral("财经电视"), {6, 6, 200, 18});

    auto* ratings = new QComboBox(this);
    ratings->setObjectName(QStringLiteral("ComboBox1"));
    m_ratingsCaption = label(this, "Label21", QStringLiteral("各大网站的评价"), {4, 398, 364, 18});
    ratings->setGeometry(4, 418, 364, 24);
    m_blogCaption = label(this, "Label26", QStringLiteral("知名博客提及的有"), {4, 446, 364, 18});
    m_blogCombo = new QComboBox(this);
    m_blogCombo->setObjectName(QStringLiteral("ComboBox2"));
    m_blogCombo->setGeometry(4, 466, 300, 24);
    m_blogNone = picture(this, "Image9", 'g', {310, 468, 20, 20});
    m_blogFound = picture(this, "Image10", 'r', {332, 468, 20, 20});
    m_blogFoundMore = picture(this, "Image12", 'r', {350, 468, 18, 20});
    m_blogFound->hide();
    m_blogFoundMore->hide();
    m_blogState = label(this, "Label41", QStringLiteral("目前没有发现任何博客提及该股"), {4, 492, 364, 18});

    auto* info1 = new ClickLabel(QStringLiteral("Label31"), QStringLiteral("今日重大信息"),
                                 ClickLabel::Hover::Link, this);
    info1->setGeometry(4, 514, 110, 20);
    auto* info2 = new ClickLabel(QStringLiteral("Label32"), QStringLiteral("昨日财经要闻"),
                                 ClickLabel::Hover::Link, this);
    info2->setGeometry(120, 514, 110, 20);
    label(this, "Label16", QStringLiteral("在线人数"), {240, 514, 56, 20});
    label(this, "Label20", QStringLiteral("0"), {298, 514, 36, 20});
    auto* refresh = new ClickLabel(QStringLiteral("Label11"), QStringLiteral("刷 新"),
                                   ClickLabel::Hover::Link, this);
    refresh->setGeometry(336, 514, 32, 20);

    auto* settingsLink = new ClickLabel(QStringLiteral("Label18"), QStringLiteral("股价提示设置"),
                                        ClickLabel::Hover::BackgroundOnly, this);
    settingsLink->setGeometry(4, 540, 96, 22);
    connect(settingsLink, &ClickLabel::clicked, this, &MainWindow::settingsRequested);
    QFont linkFont = settingsLink->font();
    linkFont.setBold(true);
    settingsLink->setFont(linkFont);
    auto* fetion = new ClickLabel(QStringLiteral("Image15"), QString(), ClickLabel::Hover::None, this);
    fetion->setPixmap(glyph('f', 22));
    fetion->setGeometry(104, 540, 24, 22);
    fetion->setToolTip(QStringLiteral("不了解飞信，点这里进入中国移动官方网站查询"));
    connect(fetion, &ClickLabel::clicked, this,
            [this] { m_ctx.opener.open(m_ctx.settings.FetionHomeUrl); });
    m_todayLabel = label(this, "Label33", QString(), {134, 540, 234, 22});

    m_adStrip = new app::WebPane(QStringLiteral("WebBrowser6"), m_ctx.opener, this);
    m_adStrip->setGeometry(2, 566, 368, 36);
    m_adStrip->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    // Right part, first row: code entry and quote panel beside the stock page.
    label(this, "Label17", QStringLiteral("输入股票代码："), {374, 30, 100, 24});
    m_codeEdit = new DigitEdit(QStringLiteral("Edit1"), 6, this);
    m_codeEdit->setGeometry(474, 30, 120, 24);
    auto* search = new ClickLabel(QStringLiteral("Image17"), QString(), ClickLabel::Hover::None, this);
    search->setPixmap(glyph('s', 24));
    search->setToolTip(QStringLiteral("查询"));
    search->setAccessibleName(QStringLiteral("查询"));
    search->setGeometry(600, 30, 26, 24);
    connect(search, &ClickLabel::clicked, this, &MainWindow::ChangeStock);

    m_quotePanel = new market::QuotePanel(this);
    m_quotePanel->setGeometry(374, 56, 340, 126);

    auto* panel10 = new QFrame(this);
    panel10->setObjectName(QStringLiteral("Panel10"));
    panel10->setFrameShape(QFrame::StyledPanel);
    panel10->setGeometry(718, 28, 212, 154);
    auto* p10 = new QVBoxLayout(panel10);
    p10->setContentsMargins(1, 1, 1, 1);
    m_stockPage = new app::WebPane(QStringLiteral("WebBrowser1"), m_ctx.opener, panel10);
    p10->addWidget(m_stockPage);

    // Forum posts.
    m_forumBox = groupBox(this, "GroupBox1", QStringLiteral("网民最新热评"), {374, 184, 556, 156});
    auto* fl = new QVBoxLayout(m_forumBox);
    fl->setContentsMargins(4, 2, 4, 4);
    m_forumGrid = new QTableWidget(2, 4, m_forumBox);
    m_forumGrid->setObjectName(QStringLiteral("StringGrid1"));
    m_forumGrid->horizontalHeader()->hide();
    m_forumGrid->verticalHeader()->hide();
    m_forumGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    const int widths[] = {28, 320, 61, 82};
    for (int c = 0; c < 4; ++c)
        m_forumGrid->setColumnWidth(c, widths[c]);
    fl->addWidget(m_forumGrid);

    // Charts: daily and hourly big orders.
    auto* daily = groupBox(this, "GroupBox3", QStringLiteral("最近几天大单买卖情况"), {374, 342, 276, 150});
    auto* chart2 = new QWidget(daily);
    chart2->setObjectName(QStringLiteral("Chart2"));
    chart2->setGeometry(4, 18, 268, 104);
    label(daily, "Label14", QString(), {6, 126, 150, 20});
    auto* cb1 = new QCheckBox(QStringLiteral("显示分布"), daily);
    cb1->setObjectName(QStringLiteral("CheckBox1"));
    cb1->setGeometry(170, 126, 100, 20);
    auto* hourly = groupBox(this, "GroupBox4", QStringLiteral("今日每小时大单买卖情况"), {654, 342, 276, 150});
    auto* chart1 = new QWidget(hourly);
    chart1->setObjectName(QStringLiteral("Chart1"));
    chart1->setGeometry(4, 18, 268, 104);
    auto* cb2 = new QCheckBox(QStringLiteral("显示分布"), hourly);
    cb2->setObjectName(QStringLiteral("CheckBox2"));
    cb2->setGeometry(170, 126, 100, 20);

    // Stock news and commentary.
    auto* news = groupBox(this, "GroupBox6", QStringLiteral("个股动态信息"), {374, 494, 340, 82});
    label(news, "Label9", QString(), {8, 18, 324, 18});
    label(news, "Label10", QString(), {8, 38, 324, 18});
    label(news, "Label15", QString(), {8, 58, 324, 18});
    auto* commentary = groupBox(this, "GroupBox2", QStringLiteral("个股点评"), {718, 494, 212, 82});
    auto* comment = label(commentary, "Label13", QString(), {8, 18, 196, 58});
    comment->setWordWrap(true);

    auto* panel8 = new QFrame(this);
    panel8->setObjectName(QStringLiteral("Panel8"));
    panel8->setFrameShape(QFrame::StyledPanel);
    panel8->setGeometry(374, 578, 556, 24);
    label(panel8, "Label48", QStringLiteral("快讯(正在搜索......)"), {6, 2, 544, 20});

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
        timer->setInterval(ms);
        if (tick)
            connect(timer, &QTimer::timeout, this, tick);
    };
    make(Timer1, "Timer1", 1000, &MainWindow::Timer1Timer);
    make(Timer2, "Timer2", 60000, nullptr);   // forum refresh, page reloads, online count: to come
    make(Timer3, "Timer3", 5000, &MainWindow::Timer3Timer);
    make(Timer4, "Timer4", 5000, nullptr);    // the alert tick, connected to the alert controller
    make(Timer5, "Timer5", 30000, nullptr);   // blog search and news flash: to come
    make(Timer6, "Timer6", 1000, nullptr);    // the alerts' cooldown clock, likewise
    make(Timer7, "Timer7", 5000, nullptr);    // hourly big-order announcements: to come
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

void MainWindow::endProgram(int code)
{
    requestExit(code);
    throw SilentAbort{};
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
    bool ok = true;
    if (!m_state.FirstShowDone) {
        ok = guarded(m_ctx.prompter, [this] { firstShowSteps(); });
        if (!m_state.FirstShowDone) {
            Timer8->start();
            m_state.FirstShowDone = true;
        }
    }
    if (ok && !m_endRequested)
        Timer7->start();
}

void MainWindow::firstShowSteps()
{
    app::centreOnScreen(this);
    m_forumGrid->clearContents();
    m_forumGrid->setRowCount(2);
    const QStringList header = {QString(), QStringLiteral("帖子标题"), QStringLiteral("点击/回复"),
                                QStringLiteral("作者")};
    for (int c = 0; c < 4; ++c)
        m_forumGrid->setItem(0, c, new QTableWidgetItem(header[c]));
    // The forum grid's read marks are seeded here.
    createbase();
    sendbase();
    getbase();
    getmail();
    yzgp(m_state.CurrentCode);
    for (net::HttpClient* client : {IdHTTP1, IdHTTP2, IdHTTP5})
        client->setReadTimeout(6000);
    m_mediaPlayer->resize(363, 328);
    // The site evaluations are read here.
    readtoday();
    // The TV channel column is built here.
    m_todayLabel->setText(QStringLiteral("(今天是") + dateText(m_ctx.clock.now().date())
                          + QStringLiteral(")"));
    Timer1->start();
    Timer4->start();
    Timer5->start();
    findChild<QLabel*>(QStringLiteral("Label31"))->setText(QStringLiteral("今日重大信息"));
    findChild<QLabel*>(QStringLiteral("Label32"))->setText(QStringLiteral("昨日财经要闻"));
    m_waitingPage->move(-1000, m_waitingPage->y());
    m_adStrip->navigate(m_state.ServerBase + QStringLiteral("/gpcgad.html"));
    if (!m_state.CurrentCode.isEmpty()) {
        // The three big-order pages are loaded here.
        start();
    }
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

void MainWindow::getmail()
{
    QByteArray body;
    try {
        body = IdHTTP1->get(m_state.ServerBase + QStringLiteral("/gplogin.asp"));
    } catch (const net::HttpFailure&) {
        m_ctx.prompter.error(unreachableText(m_ctx.settings.Contact));
        m_ctx.opener.open(m_ctx.settings.SpaceUrl);
        endProgram();
    }
    m_ctx.status = parseStatusPage(net::fromGbk(body));
    const StatusReply& reply = m_ctx.status;
    const StatusDecision decision = decideStatus(reply);
    if (decision.ban) {
        m_ctx.prompter.error(kBanText);
        m_ctx.opener.open(reply.ServiceLink);
        endProgram();
    }
    if (decision.openNotice)
        m_ctx.opener.open(reply.ServiceLink);
    if (decision.upgrade) {
        if (m_ctx.prompter.question(kUpgradeQuestion))
            m_ctx.opener.open(reply.ServiceLink);
        endProgram();
    }
    if (net::isWebAddress(reply.WaitingPage))
        m_waitingPage->navigate(reply.WaitingPage);
}

void MainWindow::readtoday()
{
    // The blog directory and today's information link are read here.
    try {
        IdHTTP3->get(m_state.ServerBase + QStringLiteral("/gpall.asp"));
        const QByteArray reply = IdHTTP3->get(m_state.ServerBase + QStringLiteral("/gpreadall.asp"));
        if (const std::optional<QString> count = onlineCount(net::fromGbk(reply)))
            findChild<QLabel*>(QStringLiteral("Label20"))->setText(*count);
    } catch (const net::HttpFailure&) {
        throw SilentAbort{};
    }
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
    // The recently watched and favourite TV channels are loaded here.
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
        getvtdate(m_state.CurrentCode);
    if (fetches.offHoursIndexAndQuote) {
        getvtzs();
        getvtdate(m_state.CurrentCode);
    }
    // The forum lists and grid are emptied, rumours and reports, commentary and announcements
    // read here.
    const QString quoted = QStringLiteral("\"") + m_state.CurrentName + QStringLiteral("\"(")
                           + m_state.CurrentCode;
    m_forumBox->setTitle(QStringLiteral("网民对(") + m_state.CurrentName
                         + QStringLiteral(")的最新热评（所有数据仅供参考）"));
    m_ratingsCaption->setText(QStringLiteral("各大网站对") + quoted + QStringLiteral(")的评价"));
    m_blogCaption->setText(QStringLiteral("知名博客提及") + quoted + QStringLiteral(")的有"));
    // Today's forum posts are read into the grid here.
}

void MainWindow::ChangeStock()
{
    if (m_state.CodeChangeBusy)
        return;
    m_state.CodeChangeBusy = true;
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
        if (yzgp(code).isEmpty())
            return refuse(QStringLiteral("您输入的股票不存在,请重新输入！"));
        found = true;
        stopTimer(*Timer7);
        m_state.CurrentCode = code;
        ++m_state.StockGeneration;
        // The latest-post line and the hourly announcements are reset, the hourly chart cleared
        // and the three big-order pages loaded here.
        m_stockPage->navigate(m_state.ServerBase + QStringLiteral("/gpgetstock.asp?name=")
                              + m_state.CurrentCode);
        // The site evaluations are read here.
        start();
    });
    if (found)
        resetBlogPanel();
    Timer7->start();
    m_state.CodeChangeBusy = false;
}

void MainWindow::resetBlogPanel()
{
    m_blogCombo->clear();
    for (const QString& name : std::as_const(m_blogNames))
        m_blogCombo->addItem(name + QStringLiteral("(未找到)"));
    m_blogFoundMarks = QStringList(m_blogNames.size(), QStringLiteral("0"));
    m_blogNone->show();
    m_blogFound->hide();
    m_blogFoundMore->hide();
    m_blogState->setText(QStringLiteral("目前没有发现任何博客提及该股"));
}

QString MainWindow::yzgp(const QString& code)
{
    market::StockQuote quote;
    try {
        quote = market::fetchQuote(*IdHTTP1, m_ctx.settings.QuoteServiceBase, code);
    } catch (const net::HttpFailure&) {
        m_ctx.prompter.error(QStringLiteral("网络错误,请稍后再试。"));
        throw SilentAbort{};
    }
    if (!quote.name.isEmpty())
        m_state.CurrentName = quote.name;
    return quote.name;
}

void MainWindow::getvtzs()
{
    bool complete = false;
    try {
        complete = market::fetchIndexSummary(*IdHTTP1, m_ctx.settings.QuoteServiceBase, m_ctx.index);
    } catch (const net::HttpFailure&) {
        throw SilentAbort{};
    }
    // The desktop ticker's index cells follow every page that arrived, also one whose amount
    // was not a number (the cells before it were already read).
    Q_EMIT indexSummaryUpdated();
    if (!complete)
        throw SilentAbort{};
}

void MainWindow::getvtdate(const QString& code)
{
    const StockTicket ticket(m_state);
    market::StockQuote quote;
    try {
        quote = market::fetchQuote(*IdHTTP1, m_ctx.settings.QuoteServiceBase, code);
    } catch (const net::HttpFailure&) {
        throw SilentAbort{};
    }
    // A code change while the request waited: this quote is for a stock no longer shown.
    ticket.ensureCurrent();
    if (quote.has(market::StockQuote::Code) && isStockCode(quote.code))
        m_state.CurrentCode = quote.code;
    if (quote.has(market::StockQuote::Name))
        m_state.CurrentName = quote.name;
    m_quotePanel->showQuote(quote);
}

void MainWindow::Timer1Timer()
{
    // The whole tick runs with the timer off: a slow index page must not let the next tick
    // start a second request inside this one's wait.
    TimerPause pause(*Timer1);
    guarded(m_ctx.prompter, [this] {
        if (m_state.IndexTickCount % 3 == 0)
            getvtzs();
        ++m_state.IndexTickCount;
        if (inQuoteHours(m_ctx.clock.now().time()) && !m_state.CurrentCode.isEmpty()
            && !m_state.HiddenInTray)
            getvtdate(m_state.CurrentCode);
    });
}

void MainWindow::Timer3Timer()
{
    ++m_state.BannerTickCount;
    showBanner();
}

void MainWindow::Timer9Timer()
{
    if (!m_recommend || m_recommend->windowVisible())
        return;
    guarded(m_ctx.prompter, [this] {
        TimerPause pause(*Timer9);
        m_recommend->addlabel();
        if (!m_state.RecommendPromptOff && m_state.NewRecommendations) {
            m_state.NewRecommendations = false;
            m_recommend->showPrompt();
        }
    });
}

void MainWindow::showBanner()
{
    const int count = m_state.BannerTickCount;
    m_banner->setText(m_ctx.index.bannerLine(count));
    QPalette p = m_banner->palette();
    p.setColor(QPalette::WindowText,
               m_ctx.index.bannerFalling(count) ? QColor(0, 255, 0) : QColor(255, 0, 0));
    m_banner->setPalette(p);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // The TV channel files are written and playback stopped here.
    m_tvStrip->hide();
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
    // TV playback stops here.
    m_tvStrip->hide();
    setStatusPanel(3, QString());
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
