#include "companion.h"

#include "market.h"
#include "store.h"

#include <QRegularExpression>

namespace server::companion {

using namespace feed;

namespace {

QString plainPage(const QString& title, const QString& body)
{
    return QStringLiteral("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\">"
                          "<title>%1</title></head><body>%2</body></html>")
        .arg(title, body);
}

QString boardName(Board board)
{
    switch (board) {
    case Board::Shanghai: return QStringLiteral("上海主板");
    case Board::Shenzhen: return QStringLiteral("深圳主板");
    case Board::ChiNext: return QStringLiteral("创业板");
    }
    return {};
}

QString money(double v)
{
    return QString::number(v, 'f', 2);
}

// One mirrored table as an HTML table, with a running number in front of each row.
QString tableHtml(const QString& caption, const QStringList& headers, const QList<QStringList>& rows)
{
    QString out = QStringLiteral("<h4>%1（%2 条）</h4>").arg(caption).arg(rows.size());
    if (rows.isEmpty())
        return out + QStringLiteral("<p>（无）</p>");
    out += QStringLiteral("<table border=\"1\" cellpadding=\"4\"><tr><th>序号</th>");
    for (const QString& h : headers)
        out += QStringLiteral("<th>%1</th>").arg(h);
    out += QStringLiteral("</tr>");
    for (qsizetype i = 0; i < rows.size(); ++i) {
        out += QStringLiteral("<tr><td>%1</td>").arg(i + 1);
        for (const QString& cell : rows[i])
            out += QStringLiteral("<td>%1</td>").arg(htmlEscape(cell));
        out += QStringLiteral("</tr>");
    }
    return out + QStringLiteral("</table>");
}

} // namespace

QString frame(const QString& payload)
{
    return QStringLiteral("<html><body text=\"#000000\">") + payload + QStringLiteral("</body></html>");
}

QString htmlEscape(const QString& text)
{
    return text.toHtmlEscaped();
}

QStringList statusModes()
{
    return {QStringLiteral("normal"), QStringLiteral("notice"), QStringLiteral("upgrade"), QStringLiteral("ban")};
}

bool isStatusMode(const QString& mode)
{
    return statusModes().contains(mode);
}

QString statusPayload(const QString& mode, const QString& baseUrl, const QString& link, const QString& waiting)
{
    // Per mode: the service code and its page, then the version code.
    QChar service;
    QString page;
    QChar version = QLatin1Char('3');
    if (mode == QLatin1String("normal")) {
        service = QLatin1Char('1');
        page = QStringLiteral("/notice.html");
    } else if (mode == QLatin1String("notice")) {
        service = QLatin1Char('2');
        page = QStringLiteral("/notice.html");
    } else if (mode == QLatin1String("upgrade")) {
        service = QLatin1Char('1');
        page = QStringLiteral("/download.html");
        version = QLatin1Char('2');
    } else if (mode == QLatin1String("ban")) {
        service = QLatin1Char('0');
        page = QStringLiteral("/ban.html");
    } else {
        return {};
    }
    const QString first = link.isEmpty() ? baseUrl + page : link;
    const QString second = waiting.isEmpty() ? baseUrl + QStringLiteral("/waiting.html") : waiting;
    return QString(service) + QStringLiteral("&1") + first + QStringLiteral("&2 ") + QString(version) +
           QStringLiteral("&1") + second + QStringLiteral("&2");
}

QString noticePage()
{
    return plainPage(QStringLiteral("系统公告"),
                     QStringLiteral("<p>欢迎使用汇澜股票情报系统。</p>"
                                    "<p>当前连接的是沙盒演示服务器，所有行情均为模拟数据，仅供测试与演示。</p>"));
}

QString waitingPage()
{
    return plainPage(QStringLiteral("请稍候"), QStringLiteral("请稍候......"));
}

QString banPage()
{
    return plainPage(QStringLiteral("停止服务"),
                     QStringLiteral("<h3>本软件已停止为您服务</h3>"
                                    "<p>很抱歉，汇澜股票情报系统已停止为您提供行情提醒与短信通知服务。</p>"
                                    "<p>如有疑问，请到<a href=\"/author.html\">作者的空间</a>与作者联系。</p>"));
}

QString downloadPage()
{
    return plainPage(QStringLiteral("下载新版本"),
                     QStringLiteral("<h3>汇澜股票情报系统新版本</h3>"
                                    "<p>您使用的版本已过期，请下载并安装新版本后再使用。</p>"
                                    "<p>新版本改进了行情刷新与提醒功能。安装前请先退出正在运行的程序，"
                                    "原有的股票设置会保留。</p>"
                                    "<p>安装程序请到<a href=\"/author.html\">作者的空间</a>下载。</p>"));
}

QString authorPage(const QString& contact)
{
    const QString qq = htmlEscape(contact);
    return plainPage(QStringLiteral("作者的空间"),
                     QStringLiteral("<h3>汇澜股票情报系统——作者的空间</h3>"
                                    "<p>汇澜股票情报系统是一款为A股投资者编写的免费桌面软件：自选股行情、"
                                    "开盘收盘价提醒、大单与涨跌幅提醒、定时播报，提醒可以通过飞信发到手机。</p>"
                                    "<p>使用中遇到问题或有建议，欢迎联系作者：QQ %1，"
                                    "<a href=\"/msgrd?V=1&amp;Uin=%1\">点此与作者在线交谈</a>。</p>")
                         .arg(qq));
}

QString fetionPage()
{
    return plainPage(QStringLiteral("中国移动飞信"),
                     QStringLiteral("<h3>中国移动飞信</h3>"
                                    "<p>飞信是中国移动推出的综合通信服务，可以在电脑和手机之间免费收发短信。</p>"
                                    "<p>开通飞信后，汇澜股票情报系统的提醒就能发到您的手机上。</p>"
                                    "<p>（本页由沙盒服务器提供，代替中国移动飞信的官方网站。）</p>"));
}

QString chatPage(const QString& uin)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,15}$"));
    if (!digits.match(uin).hasMatch())
        return plainPage(QStringLiteral("QQ在线交谈"), QStringLiteral("<p>没有给出要交谈的QQ号码。</p>"));
    return plainPage(QStringLiteral("QQ在线交谈"),
                     QStringLiteral("<p>即将打开与 QQ %1 的在线交谈窗口。</p>"
                                    "<p>如果没有打开，请确认电脑上已经安装并登录了QQ。</p>")
                         .arg(uin));
}

QString showPage(const QString& sn, const MirroredConfig& config)
{
    QString switchText;
    if (config.ycf == QLatin1String("1"))
        switchText = QStringLiteral("开（提醒发到手机）");
    else if (config.ycf == QLatin1String("0"))
        switchText = QStringLiteral("关（提醒不发到手机）");
    else
        switchText = QStringLiteral("未设置");
    QString body = QStringLiteral("<h3>手机号码 %1</h3>").arg(htmlEscape(sn));
    body += QStringLiteral("<p>注册：%1</p>").arg(config.registered ? QStringLiteral("已注册") : QStringLiteral("未注册"));
    body += QStringLiteral("<p>手机提醒开关：%1</p>").arg(switchText);
    body += tableHtml(QStringLiteral("表一：开盘价、收盘价提醒"), {QStringLiteral("股票名称"), QStringLiteral("股票代码")},
                      config.table1);
    body += tableHtml(QStringLiteral("表二：交易提醒"),
                      {QStringLiteral("提醒开关"), QStringLiteral("大单成交位数"), QStringLiteral("大单买卖位数"),
                       QStringLiteral("涨跌幅（%）"), QStringLiteral("股票名称"), QStringLiteral("股票代码")},
                      config.table2);
    body += tableHtml(QStringLiteral("表三：定时播报"),
                      {QStringLiteral("播报间隔（分钟）"), QStringLiteral("股票代码"), QStringLiteral("股票名称")},
                      config.table3);
    return plainPage(QStringLiteral("手机号码 %1 的设置").arg(htmlEscape(sn)), body);
}

QString badNumberPage(const QString& sn)
{
    return plainPage(QStringLiteral("号码错误"),
                     QStringLiteral("<p>号码错误：“%1”不是11位手机号码。</p>").arg(htmlEscape(sn.left(32))));
}

QString badFieldPayload(const QString& field)
{
    return QStringLiteral("参数错误：") + field;
}

QString stockPage(Market& market, const QString& requested, const QDateTime& now)
{
    const QString wanted = requested.trimmed();
    QString code = market.contains(wanted) ? wanted : market.codeOfName(wanted);
    const auto q = code.isEmpty() ? std::nullopt : market.quote(code, now);
    if (!q)
        return frame(QStringLiteral("未找到股票：%1").arg(htmlEscape(wanted.left(32))));
    const QString pct = QString::number(q->changePercent(), 'f', 2) + QLatin1Char('%');
    QString lines;
    lines += QStringLiteral("%1（%2）<br>").arg(q->name, q->code);
    lines += QStringLiteral("市场：%1<br>").arg(boardName(q->board));
    lines += QStringLiteral("现价：%1 元，涨跌 %2（%3）<br>").arg(money(q->last), money(q->change()), pct);
    lines += QStringLiteral("今开 %1，最高 %2，最低 %3，昨收 %4<br>")
                 .arg(money(q->open), money(q->high), money(q->low), money(q->prevClose));
    lines += QStringLiteral("成交 %1 手，金额 %2 万元<br>").arg(q->volume).arg(money(q->amount));
    lines += QStringLiteral("数据时间 %1。本页行情由沙盒模拟，仅供演示。")
                 .arg(q->time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    return frame(lines);
}

QString adPage(const QString& baseUrl)
{
    return frame(QStringLiteral("<a href=\"%1/notice.html\" target=\"_blank\">汇澜股票情报系统——沙盒演示服务器</a>")
                     .arg(baseUrl));
}

QString onlinePayload(int count)
{
    return QStringLiteral(" %1 ").arg(count);
}

} // namespace server::companion
