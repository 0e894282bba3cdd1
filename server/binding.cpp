#include "binding.h"

#include "channels.h"
#include "forms.h"
#include "phoneservice.h"
#include "smtp.h"
#include "store.h"

#include <QDateTime>
#include <QRandomGenerator>

namespace server::binding {

namespace {

constexpr char kUtf8Html[] = "text/html; charset=utf-8";

QString html(const QString& title, const QString& body)
{
    return QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>%1</title></head>\n"
                          "<body>\n<h1>%1</h1>\n%2</body></html>\n")
        .arg(title.toHtmlEscaped(), body);
}

CompanionReply reply(const QString& title, const QString& body, int status = 200)
{
    return {html(title, body).toUtf8(), kUtf8Html, status};
}

QString confirmForm(const QString& number)
{
    return QStringLiteral("<form method=\"post\" action=\"/bind/confirm\" accept-charset=\"utf-8\">\n"
                          "<p>手机号 <input name=\"number\" maxlength=\"11\" value=\"%1\"></p>\n"
                          "<p>验证码 <input name=\"code\" maxlength=\"6\" autocomplete=\"one-time-code\"></p>\n"
                          "<p><button type=\"submit\">确认</button></p>\n</form>\n")
        .arg(number.toHtmlEscaped());
}

QString formPage()
{
    QString options;
    for (const QString& name : channelNames())
        options += QStringLiteral("<option value=\"%1\">%1</option>").arg(name);
    return html(QStringLiteral("绑定手机提醒渠道"),
                QStringLiteral(
                    "<p>把推送渠道绑定到自己的手机号，股价提醒就会发到该渠道。每次绑定或解绑都要输入验证码：号码还没有"
                    "渠道时，验证码发到正在绑定的渠道；已有渠道时，发到已有的渠道。</p>\n"
                    "<form method=\"post\" action=\"/bind\" accept-charset=\"utf-8\">\n"
                    "<p>手机号 <input name=\"number\" maxlength=\"11\"></p>\n"
                    "<p>渠道 <select name=\"channel\">%1</select></p>\n"
                    "<p>令牌/密钥/主题/聊天ID/邮箱 <input name=\"value\" maxlength=\"%2\"> (钉钉、飞书的签名密钥写在冒号后)</p>\n"
                    "<p><label><input type=\"radio\" name=\"action\" value=\"bind\" checked> 绑定</label>\n"
                    "<label><input type=\"radio\" name=\"action\" value=\"unbind\"> 解绑</label></p>\n"
                    "<p><button type=\"submit\">发送验证码</button></p>\n</form>\n"
                    "<h2>输入验证码</h2>\n%3")
                    .arg(options)
                    .arg(kLongestValue)
                    .arg(confirmForm(QString())));
}

bool isPost(const CompanionRequest& r)
{
    // A caller that does not say the method is taken at its form: fields mean a post.
    if (!r.method.isEmpty())
        return r.method == "POST";
    return !r.field(QStringLiteral("number")).isEmpty();
}

} // namespace

QStringList channelNames()
{
    QStringList out;
    for (const notify::Channel c : notify::allChannels())
        out << notify::channelName(c);
    out << QStringLiteral("email");
    return out;
}

QString valueProblem(const QString& channel, const QString& value)
{
    if (value.isEmpty())
        return QStringLiteral("请填写渠道的令牌、密钥、主题、聊天ID或邮箱");
    if (value.size() > kLongestValue)
        return QStringLiteral("填写的内容太长（最多 %1 个字符）").arg(kLongestValue);
    for (const QChar c : value)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format
            || c.category() == QChar::Separator_Line || c.category() == QChar::Separator_Paragraph)
            return QStringLiteral("填写的内容含有控制字符");
    if (channel == QLatin1String("email"))
        return notify::isMailAddress(value) ? QString() : QStringLiteral("不是可用的邮箱地址");
    const auto c = notify::channelNamed(channel);
    if (!c)
        return QStringLiteral("没有这个渠道");
    return notify::parseBinding(*c, value) ? QString() : QStringLiteral("%1 的值格式不对").arg(channel);
}

BindingPage::BindingPage(CompanionStore& store, std::function<phone::PhoneService*()> service,
                         std::function<qint64()> nowMs)
    : store_(store), service_(std::move(service)),
      now_(nowMs ? std::move(nowMs) : std::function<qint64()>([] { return QDateTime::currentMSecsSinceEpoch(); }))
{
}

std::optional<CompanionReply> BindingPage::answer(const CompanionRequest& r)
{
    if (r.path == QLatin1String("/bind"))
        return isPost(r) ? requestCode(r) : CompanionReply{formPage().toUtf8(), kUtf8Html, 200};
    if (r.path == QLatin1String("/bind/confirm")) {
        if (!isPost(r))
            return reply(QStringLiteral("输入验证码"), confirmForm(r.field(QStringLiteral("number"))));
        return confirm(r);
    }
    return std::nullopt;
}

CompanionReply BindingPage::requestCode(const CompanionRequest& r)
{
    const QString number = r.field(QStringLiteral("number")).trimmed();
    const QString action = r.field(QStringLiteral("action")).trimmed();
    const QString channel = r.field(QStringLiteral("channel")).trimmed().toLower();
    const QString value = r.field(QStringLiteral("value")).trimmed();
    auto refuse = [](const QString& why, int status = 400) {
        return reply(QStringLiteral("未发送验证码"), QStringLiteral("<p>%1</p>\n<p><a href=\"/bind\">返回</a></p>\n").arg(why.toHtmlEscaped()), status);
    };
    if (!isPhoneNumber(number))
        return refuse(QStringLiteral("手机号应为 11 位数字"));
    if (action != QLatin1String("bind") && action != QLatin1String("unbind"))
        return refuse(QStringLiteral("请选择绑定或解绑"));
    if (!channelNames().contains(channel))
        return refuse(QStringLiteral("没有这个渠道"));
    const bool bind = action == QLatin1String("bind");
    if (bind) {
        if (const QString problem = valueProblem(channel, value); !problem.isEmpty())
            return refuse(problem);
    }
    phone::PhoneService* service = service_();
    if (!service || !store_.isOpen())
        return refuse(QStringLiteral("本服务器没有开启手机提醒"), 503);
    if (bind && !service->canUse(channel))
        return refuse(QStringLiteral("本服务器没有配置 %1（Telegram 需要机器人令牌，邮件需要发信服务器）").arg(channel), 503);

    const phone::PhoneService::Channels existing = service->channelsOf(number);
    const bool hasChannel = channel == QLatin1String("email")
                                ? !existing.emails.isEmpty()
                                : std::any_of(existing.bindings.cbegin(), existing.bindings.cend(),
                                              [&channel](const notify::Binding& b) { return notify::channelName(b.channel) == channel; });
    if (bind && hasChannel)
        return refuse(QStringLiteral("这个号码已经绑定了 %1，请先解绑").arg(channel), 409);
    if (!bind) {
        bool stored = false;
        for (const CompanionStore::PhoneBinding& b : store_.phoneBindings(number))
            stored = stored || b.channel == channel;
        if (!stored)
            return refuse(QStringLiteral("这个号码没有在本页绑定 %1").arg(channel), 404);
    }
    const qint64 now = now_();
    if (store_.phoneCodesSince(number, now - 60 * 60 * 1000) >= kCodesPerHour)
        return refuse(QStringLiteral("这个号码一小时内已经发送了 %1 次验证码，请稍后再试").arg(kCodesPerHour), 429);

    QRandomGenerator* random = QRandomGenerator::system();
    const QString code = QStringLiteral("%1").arg(random->bounded(1000000), 6, 10, QLatin1Char('0'));
    QByteArray salt(16, '\0');
    for (char& c : salt)
        c = char(random->bounded(256));
    CompanionStore::PhoneCode stored{0, number, action, channel, bind ? value : QString(), salt,
                                     CompanionStore::phoneCodeHash(salt, number, code), now + kCodeLifetimeMs, 0};
    if (!store_.addPhoneCode(stored, now))
        return refuse(QStringLiteral("服务器暂时无法保存验证码，请稍后再试"), 500);

    const notify::Message message{QStringLiteral("汇澜绑定验证码"),
                                  QStringLiteral("汇澜绑定验证码 %1，10分钟内有效").arg(code)};
    auto ignore = [](const notify::Outcome&) {};
    QString where;
    if (existing.isEmpty()) {
        // Only a bind reaches here: the code goes to the channel being bound.
        if (channel == QLatin1String("email"))
            service->sendOnceByEmail(value, message, ignore);
        else
            service->sendOnce(*notify::parseBinding(*notify::channelNamed(channel), value), message, ignore);
        where = QStringLiteral("验证码已发到正在绑定的渠道");
    } else {
        for (const notify::Binding& b : existing.bindings)
            service->sendOnce(b, message, ignore);
        for (const QString& address : existing.emails)
            service->sendOnceByEmail(address, message, ignore);
        where = QStringLiteral("验证码已发到这个号码已经绑定的渠道");
    }
    return reply(QStringLiteral("验证码已发送"),
                 QStringLiteral("<p>%1，10 分钟内有效。</p>\n%2").arg(where, confirmForm(number)));
}

CompanionReply BindingPage::confirm(const CompanionRequest& r)
{
    const QString number = r.field(QStringLiteral("number")).trimmed();
    const QString code = r.field(QStringLiteral("code")).trimmed();
    auto page = [&number](const QString& title, const QString& text, int status, bool again) {
        return reply(title, QStringLiteral("<p>%1</p>\n%2<p><a href=\"/bind\">返回</a></p>\n")
                                .arg(text.toHtmlEscaped(), again ? confirmForm(number) : QString()),
                     status);
    };
    if (!isPhoneNumber(number))
        return page(QStringLiteral("未确认"), QStringLiteral("手机号应为 11 位数字"), 400, false);
    int left = 0;
    switch (store_.checkPhoneCode(number, code.left(16), now_(), kWrongCodesAllowed, &left)) {
    case CompanionStore::CodeCheck::Bound:
        return page(QStringLiteral("绑定成功"), QStringLiteral("渠道已绑定，之后的股价提醒会发到这里"), 200, false);
    case CompanionStore::CodeCheck::Unbound:
        return page(QStringLiteral("已解绑"), QStringLiteral("渠道已解绑，不再收到股价提醒"), 200, false);
    case CompanionStore::CodeCheck::Wrong:
        return page(QStringLiteral("验证码不对"), QStringLiteral("验证码不对，还可以再试 %1 次").arg(left), 403, true);
    case CompanionStore::CodeCheck::Spent:
        return page(QStringLiteral("验证码已失效"), QStringLiteral("验证码已过期或输错次数太多，请重新获取"), 403, false);
    case CompanionStore::CodeCheck::None:
        return page(QStringLiteral("没有验证码"), QStringLiteral("这个号码没有待确认的验证码，请先获取"), 404, false);
    case CompanionStore::CodeCheck::Failed:
        break;
    }
    return page(QStringLiteral("未确认"), QStringLiteral("服务器暂时无法确认，请稍后再试"), 500, false);
}

} // namespace server::binding
