// The one-stock quote record (UTF-8) and everything the quote panel and the alert table make of it.
#include "fuzzinput.h"
#include "market/quote.h"
#include "net/codecs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using market::StockQuote;
    const StockQuote quote = market::parseQuote(net::fromUtf8(fuzz::bytes(data, size)));
    for (int f = StockQuote::Code; f <= StockQuote::LastTradeVolume; ++f)
        (void)quote.field(StockQuote::Field(f));
    (void)quote.isFalling();
    (void)quote.lastTradeIsSell();
    (void)market::quotePanelUpdates(quote);
    (void)market::quotePanelUpdates(market::forAlertTable(quote));
    return 0;
}
