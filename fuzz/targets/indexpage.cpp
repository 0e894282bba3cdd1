// The quote service's index page (UTF-8), applied twice as the banner tick does.
#include "fuzzinput.h"
#include "market/indexsummary.h"
#include "net/codecs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString page = net::fromUtf8(fuzz::bytes(data, size));
    market::IndexSummary summary;
    if (market::applyIndexPage(page, summary))
        (void)market::applyIndexPage(page, summary);
    for (int count = 0; count < 2; ++count) {
        (void)summary.bannerLine(count);
        (void)summary.bannerFalling(count);
    }
    return 0;
}
