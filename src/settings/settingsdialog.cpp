#include "settings/settingsdialog.h"

#include "core/guard.h"
#include "core/stockcode.h"
#include "widgets/widgets.h"
#include "widgets/windowholds.h"
#include "market/quote.h"
#include "net/codecs.h"
#include "net/httpclient.h"
#include "settings/alertediting.h"
#include "store/alertmirror.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTimer>

namespace settings {

namespace {

constexpr QStringView kServerFault = u"当前服务器故障，请联系作者!";

QLabel* label(QWidget* parent, const QString& text, const QRect& geometry, const char* name = nullptr)
{
    return app::placedLabel(parent, name, text, geometry);
}

QCheckBox* checkBox(QWidget* parent, const char* name, const QString& text, const QRect& geometry)
{
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(geometry);
    return box;
}

QPushButton* button(QWidget* parent, const char* name, const QString& text, const QRect& geometry)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(geometry);
    return b;
}

void setColour(QLabel* label, const QColor& colour)
{
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, colour);
    label->setPalette(p);
}

Qt::WindowFlags dialogFlags()
{
    return Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
           | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;
}

} // namespace

QString chatAddress(const app::Settings& settings)
{
    return settings.ChatBase + QStringLiteral("/msgrd?V=1&Uin=") + settings.Contact;
}

ChoiceBox::ChoiceBox(const QString& name, const QStringList& items, const QString& current, QWidget* parent)
    : QComboBox(parent)
{
    setObjectName(name);
    setEditable(false);
    addItems(items);
    setCurrentText(current);
}

void ChoiceBox::keyPressEvent(QKeyEvent* event)
{
    event->accept();   // every key is discarded
}

SettingsDialog::SettingsDialog(store::AlertStore& store, store::AlertLists& lists, const app::Settings& settings,
                               app::Prompter& prompter, net::UrlOpener& opener, SettingsHost host, QWidget* parent)
    : QWidget(parent, dialogFlags()), m_store(store), m_lists(lists), m_settings(settings), m_prompter(prompter),
      m_opener(opener), m_host(std::move(host)),
      m_http(new net::HttpClient(QStringLiteral("IdHTTP1"), this))
{
    setObjectName(QStringLiteral("TForm3"));
    setWindowTitle(QStringLiteral("股价提示设置"));
    setFixedSize(688, 284);
    m_http->setReadTimeout(30000);
    buildControls();
    setRightGroupEnabled(false);
    m_phone = std::make_unique<PhoneWindow>(store, settings, prompter, opener, *this);
}

SettingsDialog::~SettingsDialog() = default;

void SettingsDialog::buildControls()
{
    auto* left = new QGroupBox(QStringLiteral("第一步：添加要关注的股票"), this);
    left->setObjectName(QStringLiteral("GroupBox1"));
    left->setGeometry(8, 6, 262, 232);
    label(left, QStringLiteral("请输入股票代码："), {10, 24, 100, 22});
    m_codeEdit = new app::DigitEdit(QStringLiteral("Edit1"), 6, left);
    m_codeEdit->setGeometry(110, 24, 80, 22);
    connect(button(left, "BitBtn1", QStringLiteral("确定"), {196, 23, 56, 24}), &QPushButton::clicked, this,
            [this] { app::guarded(m_prompter, [this] { addStock(); }); });
    m_nameLabel = label(left, QString(), {10, 50, 110, 20}, "Label12");
    m_priceLabel = label(left, QString(), {124, 50, 130, 20}, "Label13");
    label(left, QStringLiteral("已存在的股票：(要修改提示设置，请先选择股票名称）"), {10, 70, 246, 34})
        ->setWordWrap(true);
    m_list = new QListWidget(left);
    m_list->setObjectName(QStringLiteral("ListBox1"));
    m_list->setGeometry(10, 106, 242, 92);
    connect(m_list, &QListWidget::currentRowChanged, this, [this] {
        if (!m_updating)
            delclick();
    });
    connect(m_list, &QListWidget::itemClicked, this, [this] { delclick(); });
    connect(button(left, "BitBtn2", QStringLiteral("删除"), {10, 202, 60, 24}), &QPushButton::clicked, this,
            [this] { app::guarded(m_prompter, [this] { removeSelected(); }); });
    label(left, QStringLiteral("（选中点删除）"), {76, 204, 120, 20});

    auto* right = new QGroupBox(QStringLiteral("第二步：设置要提示的内容"), this);
    right->setObjectName(QStringLiteral("GroupBox2"));
    right->setGeometry(278, 6, 402, 232);
    m_openClose = checkBox(right, "CheckBox1", QStringLiteral("开盘价、收盘价"), {10, 22, 150, 22});
    m_limit = checkBox(right, "CheckBox2", QStringLiteral("涨停或跌停"), {170, 22, 150, 22});
    m_percent = checkBox(right, "CheckBox3", QStringLiteral("涨幅或跌幅超过"), {10, 48, 122, 22});
    m_percentBox = new ChoiceBox(QStringLiteral("ComboBox1"),
                                 {"2", "3", "4", "5", "6", "7", "8", "9"}, QStringLiteral("5"), right);
    m_percentBox->setGeometry(134, 48, 48, 22);
    label(right, QStringLiteral("%"), {186, 48, 20, 22});
    m_trade = checkBox(right, "CheckBox4", QStringLiteral("当有"), {10, 74, 60, 22});
    m_tradeBox = new ChoiceBox(QStringLiteral("ComboBox2"), {"4", "5", "6"}, QStringLiteral("4"), right);
    m_tradeBox->setGeometry(72, 74, 44, 22);
    label(right, QStringLiteral("位数大单成交"), {120, 74, 120, 22});
    m_order = checkBox(right, "CheckBox5", QStringLiteral("当前有"), {10, 100, 72, 22});
    m_orderBox = new ChoiceBox(QStringLiteral("ComboBox3"), {"4", "5", "6"}, QStringLiteral("4"), right);
    m_orderBox->setGeometry(84, 100, 44, 22);
    label(right, QStringLiteral("位数大单挂在买入或卖出价"), {132, 100, 200, 22});
    label(right, QStringLiteral("（注：大盘股设5位数，小盘股设4位数）"), {10, 124, 380, 20});
    m_broadcast = checkBox(right, "CheckBox6", QStringLiteral("每"), {10, 148, 44, 22});
    m_intervalBox = new ChoiceBox(QStringLiteral("ComboBox4"), {"10", "20", "30", "60"}, QStringLiteral("10"), right);
    m_intervalBox->setGeometry(56, 148, 50, 22);
    label(right, QStringLiteral("分钟播报一次股价(只适用于短信提示)"), {110, 148, 280, 22});
    label(right, QStringLiteral("接收股价变动的手机号码"), {10, 178, 150, 22});
    m_phoneLabel = label(right, QStringLiteral("13900000000"), {160, 178, 100, 22}, "Label1");
    auto* phoneLink = new app::ClickLabel(QStringLiteral("Label14"), QStringLiteral("点这里添加或修改号码"),
                                          app::ClickLabel::Hover::Link, right);
    phoneLink->setGeometry(264, 178, 130, 22);
    connect(phoneLink, &app::ClickLabel::clicked, this, &SettingsDialog::openPhoneWindow);

    // Each control edits the selected stock's entry as soon as the user changes it.
    storeCheck(m_limit, 1);
    storeCheck(m_trade, 2);
    storeCheck(m_order, 3);
    storeCheck(m_percent, 4);
    connect(m_openClose, &QCheckBox::clicked, this, [this](bool on) {
        if (SettingsRow >= 0 && SettingsRow < m_lists.AlertSendOpenClose.size())
            m_lists.AlertSendOpenClose[SettingsRow] = on ? QStringLiteral("1") : QStringLiteral("0");
    });
    connect(m_broadcast, &QCheckBox::clicked, this, [this](bool on) {
        if (SettingsRow >= 0 && SettingsRow < m_lists.AlertBroadcast.size())
            m_lists.AlertBroadcast[SettingsRow] = on ? QStringLiteral("1") : QStringLiteral("0");
    });
    const std::pair<ChoiceBox*, QStringList*> choices[] = {{m_percentBox, &m_lists.AlertPercent},
                                                           {m_tradeBox, &m_lists.AlertTradeDigits},
                                                           {m_orderBox, &m_lists.AlertOrderDigits},
                                                           {m_intervalBox, &m_lists.AlertInterval}};
    for (const auto& [box, list] : choices)
        connect(box, &QComboBox::activated, this, [this, box = box, list = list] {
            if (SettingsRow >= 0 && SettingsRow < list->size())
                (*list)[SettingsRow] = box->currentText();
        });

    auto* chat = new app::ClickLabel(QStringLiteral("Label10"), QStringLiteral("联系作者请点这里"),
                                     app::ClickLabel::Hover::Link, this);
    chat->setGeometry(10, 250, 110, 22);
    connect(chat, &app::ClickLabel::clicked, this, [this] { m_opener.open(chatAddress(m_settings)); });
    m_local = checkBox(this, "CheckBox8", QStringLiteral("在电脑上提示我"), {126, 250, 120, 22});
    connect(m_local, &QCheckBox::clicked, this, [this](bool on) { m_lists.LocalAlertsOn = on; });
    m_toPhone = checkBox(this, "CheckBox7", QStringLiteral("把以上信息通过移动飞信发送到我的手机上"),
                         {250, 250, 270, 22});
    connect(m_toPhone, &QCheckBox::clicked, this, [this](bool on) { m_lists.PhoneAlertsOn = on; });
    connect(button(this, "BitBtn3", QStringLiteral("保存退出"), {524, 248, 76, 26}), &QPushButton::clicked,
            this, [this] { app::guarded(m_prompter, [this] { save(); }); });
    connect(button(this, "BitBtn4", QStringLiteral("不保存退出"), {604, 248, 78, 26}), &QPushButton::clicked,
            this, [this] { app::guarded(m_prompter, [this] { leaveWithoutSaving(); }); });
}

void SettingsDialog::storeCheck(QCheckBox* box, int flagPosition)
{
    connect(box, &QCheckBox::clicked, this, [this, flagPosition](bool on) {
        if (SettingsRow >= 0 && SettingsRow < m_lists.AlertFlags.size())
            m_lists.AlertFlags[SettingsRow] = withFlag(m_lists.AlertFlags[SettingsRow], flagPosition, on);
    });
}

void SettingsDialog::setRightGroupEnabled(bool enabled)
{
    for (QWidget* w : std::initializer_list<QWidget*>{m_openClose, m_limit, m_percent, m_trade, m_order,
                                                      m_broadcast, m_percentBox, m_tradeBox, m_orderBox,
                                                      m_intervalBox})
        w->setEnabled(enabled);
}

void SettingsDialog::open()
{
    // Opened again while it is open (the main window can be enabled again by another window's
    // close): the edits under way stay, and so does a save that waits on the network.
    if (isVisible()) {
        raise();
        activateWindow();
        return;
    }
    // stopTimer: an alert tick or blog search waiting on the network right now must not switch
    // its timer on again while the dialog is open.
    if (m_host.alertTimer)
        app::stopTimer(*m_host.alertTimer);
    if (m_host.blogTimer)
        app::stopTimer(*m_host.blogTimer);
    m_host.pauseTicker();
    SettingsRow = -1;
    m_lists.clearConfiguration();
    setRightGroupEnabled(false);
    if (m_host.mainWindow)
        app::WindowHolds::of(*m_host.mainWindow).take(*this);
    m_codeEdit->clear();
    m_updating = true;
    m_list->clear();
    m_updating = false;
    m_nameLabel->clear();
    m_priceLabel->clear();
    app::centreOnScreen(this);
    show();
    app::guarded(m_prompter, [this] {
        store::AlertLists stored;
        m_store.sendbase(stored);
        m_updating = true;
        for (const auto& [name, code] : m_store.listedStocks())
            m_list->addItem(stockItemText(name.trimmed(), code));
        m_updating = false;
        const QString number = m_store.phoneNumber();
        PhoneStored = !number.isEmpty();
        m_phoneLabel->setText(PhoneStored ? number : QStringLiteral("13900000000"));
        m_toPhone->setEnabled(PhoneStored);
        copyConfiguration(stored, m_lists);
        m_local->setChecked(m_lists.LocalAlertsOn);
        m_toPhone->setChecked(m_lists.PhoneAlertsOn);
    });
}

void SettingsDialog::delclick()
{
    const int row = m_list->currentRow();
    if (row < 0 || !m_list->currentItem() || !m_list->currentItem()->isSelected()) {
        setRightGroupEnabled(false);
        if (m_list->count() == 0)
            SettingsRow = -1;
        return;
    }
    setRightGroupEnabled(true);
    SettingsRow = row;
    m_nameLabel->setText(m_lists.AlertNames.value(row));
    m_priceLabel->clear();
    m_openClose->setChecked(m_lists.AlertSendOpenClose.value(row) == u"1");
    const QString flags = m_lists.AlertFlags.value(row);
    m_limit->setChecked(flagOn(flags, 1));
    m_trade->setChecked(flagOn(flags, 2));
    m_order->setChecked(flagOn(flags, 3));
    m_percent->setChecked(flagOn(flags, 4));
    m_percentBox->setCurrentText(m_lists.AlertPercent.value(row));
    m_tradeBox->setCurrentText(m_lists.AlertTradeDigits.value(row));
    m_orderBox->setCurrentText(m_lists.AlertOrderDigits.value(row));
    m_broadcast->setChecked(m_lists.AlertBroadcast.value(row) == u"1");
    m_intervalBox->setCurrentText(m_lists.AlertInterval.value(row));
}

// While a lookup or a save waits on the network, events keep running, so without this a click on
// another button would run inside the wait: a stock added during the save's mirror requests would
// be dropped by the reload after it, and leaving during a lookup would let its reply add an unsaved
// stock to the lists the alert check reads. The dialog therefore takes no input until the request
// is over (its controls greyed, the pointer busy), and every action refuses to start meanwhile.
class SettingsDialog::NetworkWait {
public:
    explicit NetworkWait(SettingsDialog& dialog) : m_dialog(dialog), m_wasEnabled(dialog.isEnabled())
    {
        m_dialog.m_waiting = true;
        m_dialog.setEnabled(false);
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~NetworkWait()
    {
        QGuiApplication::restoreOverrideCursor();
        m_dialog.setEnabled(m_wasEnabled);
        m_dialog.m_waiting = false;
    }
    NetworkWait(const NetworkWait&) = delete;
    NetworkWait& operator=(const NetworkWait&) = delete;

private:
    SettingsDialog& m_dialog;
    bool m_wasEnabled;
};

bool SettingsDialog::getvt(const QString& code)
{
    QByteArray body;
    try {
        const NetworkWait wait(*this);
        body = m_http->get(market::quoteAddress(m_settings.QuoteServiceBase, code));
    } catch (const net::HttpFailure&) {
        m_prompter.error(QStringLiteral("获取股票信息失败，请检查网络!"));
        return false;
    }
    const Lookup lookup = lookupFromReply(net::fromUtf8(body));
    m_nameLabel->setText(lookup.name);
    LookupName = lookup.name;
    if (lookup.name.isEmpty())
        return true;
    if (lookup.priceText)
        m_priceLabel->setText(*lookup.priceText);
    if (lookup.falling)
        setColour(m_priceLabel, *lookup.falling ? QColor(0, 128, 0) : QColor(255, 0, 0));
    if (!lookup.complete) {
        // A reply cut short before the change percent: nothing is added, so the list box and
        // the lists stay in step.
        LookupName.clear();
        m_prompter.error(QStringLiteral("获取股票信息失败，请检查网络!"));
        return false;
    }
    m_updating = true;
    m_list->addItem(stockItemText(m_nameLabel->text(), code));
    m_list->setCurrentRow(m_list->count() - 1);
    m_updating = false;
    SettingsRow = m_list->count() - 1;
    return true;
}

void SettingsDialog::addStock()
{
    if (m_waiting)
        return;
    const QString code = m_codeEdit->text();
    if (!app::isStockCode(code)) {
        m_prompter.error(QStringLiteral("必须输入六位股票代码!"));
        m_codeEdit->setFocus();
        return;
    }
    QStringList items;
    for (int i = 0; i < m_list->count(); ++i)
        items << m_list->item(i)->text();
    if (codeListed(items, code)) {
        m_prompter.error(QStringLiteral("该股票已存在，请重新输入!"));
        m_codeEdit->setFocus();
        return;
    }
    LookupName.clear();
    if (!getvt(code))
        return;
    if (LookupName.isEmpty()) {
        m_prompter.error(QStringLiteral("输入的股票代码不存在，请重新输入!"));
        m_codeEdit->setFocus();
        return;
    }
    setRightGroupEnabled(true);
    appendNewStock(m_lists, code, LookupName);
    m_openClose->setChecked(true);
    for (QCheckBox* box : {m_limit, m_trade, m_order, m_percent, m_broadcast})
        box->setChecked(false);
    m_percentBox->setCurrentText(QStringLiteral("5"));
    m_tradeBox->setCurrentText(QStringLiteral("4"));
    m_orderBox->setCurrentText(QStringLiteral("4"));
    m_intervalBox->setCurrentText(QStringLiteral("10"));
}

void SettingsDialog::removeSelected()
{
    if (m_waiting)
        return;
    if (SettingsRow == -1) {
        m_prompter.error(QStringLiteral("请选择要删除的股票"));
        return;
    }
    m_updating = true;
    delete m_list->takeItem(SettingsRow);
    removeStock(m_lists, SettingsRow);
    if (m_list->count() > 0)
        m_list->setCurrentRow(0);
    m_updating = false;
    delclick();
}

void SettingsDialog::save()
{
    if (m_waiting)
        return;
    try {
        const NetworkWait wait(*this);
        m_store.SaveAlerts(m_lists);
        store::MirrorAlerts(*m_http, m_settings.ServerBase, m_phoneLabel->text(), m_toPhone->isChecked(),
                            m_lists);
        m_store.SaveSwitches(m_lists.LocalAlertsOn, m_lists.PhoneAlertsOn);
        if (m_host.showAlertStatus)
            m_host.showAlertStatus(m_lists.LocalAlertsOn, m_lists.PhoneAlertsOn);
    } catch (const std::exception&) {
        // Database or network: the dialog stays open with its edits so the user can try again.
        m_prompter.error(kServerFault.toString());
        return;
    }
    m_prompter.notice(QStringLiteral("所有记录保存成功！"));
    m_store.sendbase(m_lists);
    m_host.rebuildTicker();
    m_host.resumeTicker();
    finishEditing();
}

void SettingsDialog::finishEditing()
{
    if (m_host.alertTimer)
        m_host.alertTimer->start();
    if (m_host.blogTimer)
        m_host.blogTimer->start();
    hide();   // gives the main window back, unless another window still holds it
}

bool SettingsDialog::leaveWithoutSaving()
{
    if (m_waiting)
        return false;
    if (!m_prompter.question(QStringLiteral(" 确实不要保存所作的修改吗？")))
        return false;
    // The alert check must not run on unsaved edits: the settings go back to what is stored. The
    // alert state (limits already announced, cooldowns running) stays: nothing was saved, so the
    // watched stocks are the same ones, in the same order, as when the dialog opened.
    app::guarded(m_prompter, [this] {
        store::AlertLists stored;
        m_store.sendbase(stored);
        copyConfiguration(stored, m_lists);
        m_lists.realignStates();
    });
    m_host.resumeTicker();
    finishEditing();
    return true;
}

void SettingsDialog::closeEvent(QCloseEvent* event)
{
    event->ignore();   // the dialog is only ever hidden
    if (isVisible())
        app::guarded(m_prompter, [this] { leaveWithoutSaving(); });
}

void SettingsDialog::openPhoneWindow()
{
    app::WindowHolds::of(*this).take(*m_phone);
    m_phone->openFor(PhoneStored, m_phoneLabel->text());
}

void SettingsDialog::phoneRegistered(const QString& number)
{
    m_phoneLabel->setText(number);
    m_toPhone->setEnabled(true);
}

PhoneWindow::PhoneWindow(store::AlertStore& store, const app::Settings& settings, app::Prompter& prompter,
                         net::UrlOpener& opener, SettingsDialog& dialog)
    : QWidget(nullptr, dialogFlags()), m_store(store), m_settings(settings), m_prompter(prompter), m_opener(opener),
      m_dialog(dialog),
      m_http(new net::HttpClient(QStringLiteral("IdHTTP1"), this))
{
    setObjectName(QStringLiteral("TForm4"));
    setWindowTitle(QStringLiteral("请添加要接收的手机号码"));
    setFixedSize(345, 146);
    m_http->setReadTimeout(30000);
    m_message = label(this, QString(), {12, 6, 320, 22}, "Label1");
    m_group = new QGroupBox(this);
    m_group->setObjectName(QStringLiteral("GroupBox1"));
    m_group->setGeometry(8, 30, 329, 62);
    label(m_group, QStringLiteral("请输入手机号码："), {10, 24, 100, 24});
    m_numberEdit = new app::DigitEdit(QStringLiteral("Edit1"), 11, m_group);
    m_numberEdit->setGeometry(110, 24, 130, 24);
    connect(button(m_group, "BitBtn1", QStringLiteral("确定"), {248, 23, 70, 26}), &QPushButton::clicked, this,
            [this] { app::guarded(m_prompter, [this] { registerNumber(); }); });
    auto* help = new app::ClickLabel(QStringLiteral("Label3"), QStringLiteral("有关移动飞信的使用说明点这里"),
                                     app::ClickLabel::Hover::Link, this);
    help->setGeometry(12, 104, 190, 22);
    connect(help, &app::ClickLabel::clicked, this, [this] { m_opener.open(m_settings.FetionHomeUrl); });
    auto* chat = new app::ClickLabel(QStringLiteral("Label10"), QStringLiteral("联系作者请点这里"),
                                     app::ClickLabel::Hover::Link, this);
    chat->setGeometry(220, 104, 115, 22);
    connect(chat, &app::ClickLabel::clicked, this, [this] { m_opener.open(chatAddress(m_settings)); });
}

void PhoneWindow::openFor(bool stored, const QString& number)
{
    app::centreOnScreen(this);
    if (stored) {
        m_group->setTitle(QStringLiteral("更改手机号码"));
        m_numberEdit->setText(number);
        m_message->setText(QStringLiteral("您现在替换要接收股价的手机号码！"));
        setColour(m_message, Qt::blue);
    } else {
        m_group->setTitle(QStringLiteral("新添加手机号码"));
        m_numberEdit->clear();
        m_message->setText(QStringLiteral("您尚未添加要接收股价的手机号码！"));
        setColour(m_message, QColor(255, 0, 0));
    }
    show();
}

void PhoneWindow::registerNumber()
{
    if (m_registerBusy)
        return;
    const QScopedValueRollback busy(m_registerBusy, true);
    const QString number = m_numberEdit->text();
    if (!app::isPhoneNumber(number)) {
        m_prompter.error(QStringLiteral("必须输入11位手机号码!"));
        m_numberEdit->setFocus();
        return;
    }
    QByteArray reply;
    try {
        reply = m_http->post(m_settings.ServerBase + QStringLiteral("/gpaddsj.asp"),
                             {{QStringLiteral("sn"), number}});
    } catch (const net::HttpFailure&) {
        m_prompter.error(kServerFault.toString());
        return;
    }
    if (net::fromGbk(reply).contains(QStringLiteral("存在")))
        m_prompter.notice(number + QStringLiteral("手机号码已存在"));
    else
        m_prompter.notice(number + QStringLiteral("手机号码保存成功,稍候您将收到 \"汇澜股票\" 字样的飞信邀请"));
    m_store.savePhoneNumber(number);
    m_dialog.phoneRegistered(number);
    hide();   // not close(): the close box is refused while this registration runs
}

void PhoneWindow::closeEvent(QCloseEvent* event)
{
    // Closing while the number is registered would enable the dialog, whose save would then
    // mirror the alerts under the old number.
    if (m_registerBusy) {
        event->ignore();
        return;
    }
    event->accept();
    hide();
}

} // namespace settings
