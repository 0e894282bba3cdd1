#include "companion.h"

#include "market.h"

namespace sandbox::companion {

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

} // namespace

QString frame(const QString& payload)
{
    return QStringLiteral("<html><body text=\"#000000\">") + payload + QStringLiteral("</body></html>");
}

QString htmlEscape(const QString& text)
{
    return text.toHtmlEscaped();
}

QString loginPayload(const QString& baseUrl)
{
    return QStringLiteral("1&1%1/notice.html&2 3&1%1/waiting.html&2").arg(baseUrl);
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

} // namespace sandbox::companion
