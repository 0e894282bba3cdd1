// The one-stock quote of the quote service: request address, record and parser, and the texts
// the main window's quote panel shows for a record.
#pragma once

#include <QList>
#include <QString>
#include <QStringView>

namespace net { class HttpClient; }

namespace market {

// One reply, field texts exactly as received. Field k is the text between the k-th and the
// (k+1)-th comma; a field whose closing comma never came is absent (see has()).
struct StockQuote {
    enum Field {
        Code = 1, Name, LastPrice, ChangePercent, Change, BidPrice1, BidVolume1, AskPrice1,
        AskVolume1, Volume, Amount, OpenPrice, Unused13, HighPrice, LowPrice, LastTradeSign,
        LastTradeVolume
    };
    QString code, name, lastPrice, changePercent, change, bidPrice1, bidVolume1, askPrice1,
        askVolume1, volume, amount, openPrice, highPrice, lowPrice, lastTradeSign, lastTradeVolume;
    int fieldCount = 0;   // fields 1..fieldCount arrived

    bool has(Field f) const { return f <= fieldCount; }
    QString field(Field f) const;
    bool isFalling() const { return changePercent.contains(u'-'); }
    bool lastTradeIsSell() const { return lastTradeSign.contains(u'-'); }
};

StockQuote parseQuote(QStringView text);

QString quoteAddress(const QString& quoteServiceBase, const QString& code);

// True when `quote` can be the reply for `code`: its code field, once it arrived, is that code. A
// page that is not a quote record (an error page, random bytes) fails this.
bool isQuoteFor(const StockQuote& quote, QStringView code);

// GET and parse the quote for `code` (no market prefix). Throws net::HttpFailure, also when the
// reply is not the quote of `code`.
StockQuote fetchQuote(net::HttpClient& client, const QString& quoteServiceBase, const QString& code);

// The alert engine's copy of a record: an unchanged stock's "0" becomes "0.0", so dropping the
// unit character still leaves a number.
StockQuote forAlertTable(StockQuote quote);

// Direction colours of the quote panel.
enum class Tone { Keep, Rise, Fall };

// One change to one label of the quote panel: a new text and/or a new font colour.
struct LabelUpdate {
    QString label;        // objectName, e.g. "Label2"
    QString text;
    bool setText = true;
    Tone tone = Tone::Keep;
};

// The quote panel's label changes for a record, in field order. Labels of absent fields are
// left out so they keep their previous text.
QList<LabelUpdate> quotePanelUpdates(const StockQuote& quote);

} // namespace market
