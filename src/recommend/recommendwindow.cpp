#include "recommend/recommendwindow.h"

#include "core/appstate.h"
#include "core/guard.h"
#include "core/settings.h"
#include "market/quote.h"
#include "net/codecs.h"
#include "net/httpclient.h"
#include "net/urlopener.h"
#include "widgets/webpane.h"
#include "widgets/widgets.h"
#include "widgets/windowholds.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QEnterEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTextDocument>
#include <QValidator>
#include <algorithm>

namespace recommend {

namespace {

constexpr int kWindowWidth = 474;
constexpr int kWindowHeight = 408;
constexpr int kLinesTop = 120;
constexpr int kLineHeight = 20;
constexpr int kPostTimeoutMs = 30000;

// Typing or pasting stops at the reason's limit in GBK bytes, so 30 Chinese characters fill it.
class ReasonLimit : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override { return reasonFits(input) ? Acceptable : Invalid; }
};

void setTextColour(QWidget* w, const QColor& colour)
{
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, colour);
    w->setPalette(p);
}

void setBold(QWidget* w)
{
    QFont f = w->font();
    f.setBold(true);
    w->setFont(f);
}

QString boardAddress(const app::Settings& s, const char* path)
{
    return s.ServerBase + QLatin1String(path);
}

} // namespace

RecommendLine::RecommendLine(int index, QWidget* parent) : QLabel(parent)
{
    setObjectName(QStringLiteral("RecommendLine%1").arg(index + 1));
    setTextFormat(Qt::PlainText);   // other users' words: never markup
    setWordWrap(false);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setCursor(Qt::PointingHandCursor);
    setAutoFillBackground(true);
    QFont f = font();
    f.setPointSize(10);
    setFont(f);
    setTextColour(this, Qt::black);
    setBackground(Qt::white);
    setGeometry(1, kLinesTop + index * kLineHeight, kWindowWidth - 10, kLineHeight);
    hide();
}

void RecommendLine::showRecommendation(const Recommendation& r)
{
    setText(lineCaption(r));
    // Tool tips render markup; the hint is converted so that it shows as typed, wrapped to fit.
    setToolTip(Qt::convertFromPlainText(lineHint(r), Qt::WhiteSpaceNormal));
    setBackground(Qt::white);
    show();
}

void RecommendLine::setBackground(const QColor& colour)
{
    QPalette p = palette();
    p.setColor(QPalette::Window, colour);
    setPalette(p);
}

void RecommendLine::enterEvent(QEnterEvent* event)
{
    QLabel::enterEvent(event);
    setBackground(QColor(0, 255, 0));
}

void RecommendLine::leaveEvent(QEvent* event)
{
    QLabel::leaveEvent(event);
    setBackground(Qt::white);
}

RecommendWindow::RecommendWindow(net::UrlOpener& opener, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("TForm16"));
    setWindowTitle(QStringLiteral("我想荐股-汇澜股票大单监测系统"));
    setFixedSize(kWindowWidth, kWindowHeight);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
    buildControls(opener);
}

void RecommendWindow::buildControls(net::UrlOpener& opener)
{
    app::placedLabel(this, nullptr, QStringLiteral("请输入您要推荐的股票代码"), {10, 10, 170, 22});
    codeEdit = new app::DigitEdit(QStringLiteral("Edit1"), 6, this);
    codeEdit->setGeometry(180, 10, 70, 22);
    // Keys are filtered by the edit itself; the validator also holds for input methods.
    codeEdit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,6}")), codeEdit));
    nameLabel = app::placedLabel(this, "Label9", QString(), {256, 10, 100, 22});
    nameLabel->setTextFormat(Qt::PlainText);
    setBold(nameLabel);
    setTextColour(nameLabel, QColor(255, 0, 0));
    allLink = new app::ClickLabel(QStringLiteral("Label10"), QStringLiteral("查看全部荐股内容"),
                                  app::ClickLabel::Hover::None, this);
    allLink->setGeometry(360, 10, 110, 22);
    QFont underlined = allLink->font();
    underlined.setUnderline(true);
    allLink->setFont(underlined);
    setTextColour(allLink, QColor(0, 128, 0));

    app::placedLabel(this, nullptr, QStringLiteral("推荐理由（最多30个字）"), {10, 40, 150, 20});
    QLabel* notice =
        app::placedLabel(this, nullptr, QStringLiteral("为防止庄托和灌水，每日每个IP只允许荐股2次"), {160, 40, 310, 20});
    setBold(notice);
    setTextColour(notice, QColor(255, 0, 0));
    reasonEdit = new QLineEdit(this);
    reasonEdit->setObjectName(QStringLiteral("Edit2"));
    reasonEdit->setMaxLength(kMaxReasonBytes);
    reasonEdit->setValidator(new ReasonLimit(reasonEdit));
    reasonEdit->setGeometry(10, 64, 390, 24);
    postButton = new QPushButton(QStringLiteral("确定"), this);
    postButton->setObjectName(QStringLiteral("BitBtn1"));
    postButton->setGeometry(406, 63, 58, 26);

    auto* header = new QLabel(this);
    header->setObjectName(QStringLiteral("HeaderBar"));
    header->setGeometry(0, 98, kWindowWidth, 20);
    header->setAutoFillBackground(true);
    QPalette navy = header->palette();
    navy.setColor(QPalette::Window, QColor(0, 0, 128));
    header->setPalette(navy);
    const struct { const char* text; int left; int width; } titles[] = {
        {"推荐人IP地址", 14, 100}, {"推荐的股票", 112, 120}, {"推荐理由", 250, 120}};
    for (const auto& t : titles) {
        QLabel* title = app::placedLabel(header, nullptr, QString::fromUtf8(t.text), {t.left, 0, t.width, 20});
        setTextColour(title, Qt::white);
        title->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }

    for (int i = 0; i < kMaxLines; ++i)
        lines[size_t(i)] = new RecommendLine(i, this);

    promptOffBox = new QCheckBox(QStringLiteral("有新荐股消息不提示我"), this);
    promptOffBox->setObjectName(QStringLiteral("CheckBox1"));
    promptOffBox->setGeometry(10, 324, 250, 20);
    setBold(promptOffBox);
    setTextColour(promptOffBox, QColor(0, 0, 255));

    banner = new app::WebPane(QStringLiteral("WebBrowser66"), opener, this);
    banner->setGeometry(0, 348, kWindowWidth, kWindowHeight - 348);
    banner->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void RecommendWindow::showLines(const RecommendationList& list)
{
    const qsizetype shown = std::min<qsizetype>(list.size(), kMaxLines);
    for (qsizetype i = 0; i < kMaxLines; ++i) {
        if (i < shown)
            lines[size_t(i)]->showRecommendation(list.at(i));
        else
            lines[size_t(i)]->hide();
    }
}

void RecommendWindow::hideLines()
{
    for (RecommendLine* line : lines) {
        line->hide();
        line->clear();
        line->setToolTip(QString());
    }
}

int RecommendWindow::visibleLineCount() const
{
    int n = 0;
    for (const RecommendLine* line : lines)
        n += line->isVisibleTo(this) ? 1 : 0;
    return n;
}

void RecommendWindow::closeEvent(QCloseEvent* event)
{
    Q_EMIT closing();
    event->accept();
}

RecommendController::RecommendController(app::AppState& state, const app::Settings& settings,
                                         app::Prompter& prompter, net::UrlOpener& opener, RecommendHooks hooks,
                                         QObject* parent)
    : QObject(parent), m_state(state), m_settings(settings), m_prompter(prompter), m_opener(opener),
      m_hooks(std::move(hooks)), m_http(new net::HttpClient(QStringLiteral("IdHTTP1"), this)),
      m_window(std::make_unique<RecommendWindow>(opener))
{
    // The lookup shares this client; until the first post sets the post time-out, the client's
    // standard bound applies.
    RecommendWindow& w = *m_window;
    connect(w.codeEdit, &QLineEdit::textChanged, this, [this] { app::guarded(m_prompter, [this] { Edit1Change(); }); });
    connect(w.postButton, &QPushButton::clicked, this, [this] { app::guarded(m_prompter, [this] { BitBtn1Click(); }); });
    connect(w.allLink, &app::ClickLabel::clicked, this, [this] { app::guarded(m_prompter, [this] { Label10Click(); }); });
    connect(w.promptOffBox, &QCheckBox::clicked, this, [this] { CheckBox1Click(); });
    connect(&w, &RecommendWindow::closing, this, [this] { FormCloseQuery(); });
    w.banner->navigate(boardAddress(m_settings, "/gpcgad.html"));
}

RecommendController::~RecommendController() = default;

bool RecommendController::windowVisible() const
{
    return m_window->isVisible();
}

void RecommendController::addlabel()
{
    m_state.NewRecommendations = false;
    QString page;
    try {
        page = net::fromGbk(m_http->get(boardAddress(m_settings, "/gpjgshow.asp")));
    } catch (const net::HttpFailure&) {
        throw SilentAbort{};
    }
    if (m_list.merge(parseBoard(page)))
        m_state.NewRecommendations = true;
    m_window->showLines(m_list);
}

void RecommendController::openWindow()
{
    RecommendWindow& w = *m_window;
    app::centreOnScreen(&w);
    w.codeEdit->clear();
    w.reasonEdit->clear();
    w.nameLabel->clear();
    m_nameCode.clear();
    w.show();
    w.raise();
    w.activateWindow();
    if (m_hooks.mainWindow)
        app::WindowHolds::of(*m_hooks.mainWindow).take(w);
}

void RecommendController::promptIfNew()
{
    // Opened from the tray while the board loaded: the user is looking at it already.
    if (windowVisible())
        m_state.NewRecommendations = false;
    if (!m_state.RecommendPromptOff && m_state.NewRecommendations) {
        m_state.NewRecommendations = false;
        openWindow();
    }
}

void RecommendController::N14Click()
{
    addlabel();
    m_window->banner->navigate(boardAddress(m_settings, "/gpcgad.html"));
    openWindow();
}

void RecommendController::N15Click()
{
    m_hooks.setPromptItemChecked(true);
    m_window->promptOffBox->setChecked(false);
    m_state.RecommendPromptOff = false;
}

void RecommendController::CheckBox1Click()
{
    const bool off = m_window->promptOffBox->isChecked();
    m_state.RecommendPromptOff = off;
    m_hooks.setPromptItemChecked(!off);
}

QString RecommendController::getvt(const QString& code)
{
    market::StockQuote quote;
    try {
        quote = market::fetchQuote(*m_http, m_settings.QuoteServiceBase, code);
    } catch (const net::HttpFailure&) {
        m_prompter.error(QStringLiteral("获取股票信息失败，请检查网络!"));
        throw SilentAbort{};
    }
    return quote.has(market::StockQuote::Name) ? quote.name : QString();
}

void RecommendController::Edit1Change()
{
    RecommendWindow& w = *m_window;
    const QString code = w.codeEdit->text();
    if (code.size() != 6)
        return;
    const QString name = getvt(code);
    // The user may have typed another code while the lookup waited: only the code asked for
    // gets its answer.
    if (w.codeEdit->text() != code)
        return;
    if (!name.isEmpty()) {
        w.nameLabel->setText(name);
        m_nameCode = code;
        return;
    }
    m_prompter.error(QStringLiteral("输入的股票代码不存在，请重新输入!"));
    w.nameLabel->clear();
    m_nameCode.clear();
    w.codeEdit->setFocus();
}

void RecommendController::BitBtn1Click()
{
    RecommendWindow& w = *m_window;
    const QString code = w.codeEdit->text();
    if (code.size() != 6) {
        m_prompter.error(QStringLiteral("必须输入六位股票代码!"));
        w.codeEdit->setFocus();
        return;
    }
    // A name kept from an earlier code (its lookup failed on the network) does not count.
    if (w.nameLabel->text().isEmpty() || m_nameCode != code || !isStockCode(code)) {
        m_prompter.error(QStringLiteral("必须输入正确的股票代码!"));
        w.codeEdit->setFocus();
        return;
    }
    if (w.reasonEdit->text().trimmed().isEmpty()) {
        m_prompter.error(QStringLiteral("必须输入荐股理由!"));
        w.reasonEdit->setFocus();
        return;
    }
    if (m_posting)
        return;   // a second click while the first post waits would post twice
    m_posting = true;
    w.postButton->setEnabled(false);
    QString reply;
    try {
        m_http->setReadTimeout(kPostTimeoutMs);
        const net::Form form{{QStringLiteral("gpdm"), code},
                             {QStringLiteral("gpmc"), w.nameLabel->text()},
                             {QStringLiteral("tjly"), w.reasonEdit->text()}};
        reply = net::fromGbk(m_http->post(boardAddress(m_settings, "/gpjg.asp"), form));
    } catch (const net::HttpFailure&) {
        m_posting = false;
        w.postButton->setEnabled(true);
        m_prompter.error(QStringLiteral("网络故障，请稍后再试"));
        throw SilentAbort{};
    }
    m_posting = false;
    w.postButton->setEnabled(true);
    const PostOutcome outcome = postOutcome(reply);
    if (outcome.overLimit) {
        m_prompter.error(QStringLiteral("今日您荐股的次数超过2次，提交失败!"));
        closeWindow();
    }
    if (outcome.accepted) {
        m_prompter.notice(QStringLiteral("本次您的荐股操作成功，感谢您的参与！"));
        closeWindow();
    }
}

void RecommendController::Label10Click()
{
    m_opener.open(boardAddress(m_settings, "/jg.asp"));
}

void RecommendController::closeWindow()
{
    if (m_window->isVisible())
        m_window->close();
}

void RecommendController::FormCloseQuery()
{
    m_window->hideLines();
}

} // namespace recommend
