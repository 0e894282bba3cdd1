#include "market/quote.h"

#include "core/stockcode.h"
#include "net/codecs.h"
#include "net/httpclient.h"

namespace market {

QString StockQuote::field(Field f) const
{
    switch (f) {
    case Code: return code;
    case Name: return name;
    case LastPrice: return lastPrice;
    case ChangePercent: return changePercent;
    case Change: return change;
    case BidPrice1: return bidPrice1;
    case BidVolume1: return bidVolume1;
    case AskPrice1: return askPrice1;
    case AskVolume1: return askVolume1;
    case Volume: return volume;
    case Amount: return amount;
    case OpenPrice: return openPrice;
    case Unused13: return {};
    case HighPrice: return highPrice;
    case LowPrice: return lowPrice;
    case LastTradeSign: return lastTradeSign;
    case LastTradeVolume: return lastTradeVolume;
    }
    return {};
}

StockQuote parseQuote(QStringView text)
{
    StockQuote q;
    QString* targets[] = {nullptr, &q.code, &q.name, &q.lastPrice, &q.changePercent, &q.change,
                        &q.bidPrice1, &q.bidVolume1, &q.askPrice1, &q.askVolume1, &q.volume,
                        &q.amount, &q.openPrice, nullptr, &q.highPrice, &q.lowPrice,
                        &q.lastTradeSign, &q.lastTradeVolume};
    int commas = 0;
    qsizetype start = -1;   // index just after the previous comma
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u',')
            continue;
        ++commas;
        if (commas >= 2) {
            const int position = commas - 1;
            if (position <= StockQuote::LastTradeVolume) {
                if (targets[position])
                    *targets[position] = text.mid(start, i - start).toString();
                q.fieldCount = position;
            }
        }
        start = i + 1;
    }
    return q;
}

QString quoteAddress(const QString& quoteServiceBase, const QString& code)
{
    return quoteServiceBase + QStringLiteral("/EM_Quote2007/optional.aspx?type=z&fav=") + code
           + QStringLiteral("&hick=zhou");
}

StockQuote fetchQuote(net::HttpClient& client, const QString& quoteServiceBase, const QString& code)
{
    // The code goes into the query as it is: anything but six digits is never sent.
    if (!app::isStockCode(code))
        throw net::HttpFailure(QStringLiteral("not a stock code: ") + code.left(20));
    const StockQuote q = parseQuote(net::fromUtf8(client.get(quoteAddress(quoteServiceBase, code))));
    if (!isQuoteFor(q, code))
        throw net::HttpFailure(QStringLiteral("the reply is not the quote of ") + code);
    return q;
}

bool isQuoteFor(const StockQuote& quote, QStringView code)
{
    return !quote.has(StockQuote::Code) || quote.code == code;
}

StockQuote forAlertTable(StockQuote quote)
{
    if (quote.changePercent == u"0")
        quote.changePercent = QStringLiteral("0.0");
    return quote;
}

QList<LabelUpdate> quotePanelUpdates(const StockQuote& q)
{
    QList<LabelUpdate> out;
    auto text = [&](const char* label, const QString& value) {
        out.append({QString::fromLatin1(label), value, true, Tone::Keep});
    };
    auto tone = [&](const char* label, Tone t) {
        out.append({QString::fromLatin1(label), QString(), false, t});
    };
    const QString yuan = QStringLiteral("元");
    const QString lots = QStringLiteral("手");
    if (q.has(StockQuote::LastPrice))
        text("Label2", q.lastPrice + yuan);
    if (q.has(StockQuote::ChangePercent)) {
        const Tone direction = q.isFalling() ? Tone::Fall : Tone::Rise;
        text("Label44", q.changePercent);
        tone("Label2", direction);
        tone("Label44", direction);
        tone("Label4", direction);
    }
    if (q.has(StockQuote::Change))
        text("Label4", q.change + yuan);
    if (q.has(StockQuote::BidPrice1))
        text("Label38", q.has(StockQuote::BidVolume1)
                            ? q.bidPrice1 + QStringLiteral("元(") + q.bidVolume1 + QStringLiteral("手)")
                            : q.bidPrice1);
    if (q.has(StockQuote::AskPrice1))
        text("Label37", q.has(StockQuote::AskVolume1)
                            ? q.askPrice1 + QStringLiteral("元(") + q.askVolume1 + QStringLiteral("手)")
                            : q.askPrice1);
    if (q.has(StockQuote::Volume))
        text("Label8", q.volume + lots);
    if (q.has(StockQuote::Amount))
        text("Label7", q.amount + QStringLiteral("万元"));
    if (q.has(StockQuote::OpenPrice))
        text("Label25", QStringLiteral("开盘价：") + q.openPrice + yuan);
    if (q.has(StockQuote::HighPrice))
        text("Label23", QStringLiteral("最高价：") + q.highPrice + yuan);
    if (q.has(StockQuote::LowPrice))
        text("Label24", QStringLiteral("最低价：") + q.lowPrice + yuan);
    if (q.has(StockQuote::LastTradeSign)) {
        const bool sell = q.lastTradeIsSell();
        const QString head = sell ? QStringLiteral("卖盘↓ ") : QStringLiteral("买盘↑ ");
        out.append({QStringLiteral("Label29"),
                    q.has(StockQuote::LastTradeVolume) ? head + q.lastTradeVolume + lots : head,
                    true, sell ? Tone::Fall : Tone::Rise});
    }
    return out;
}

} // namespace market
