// The companion server's blog directory (scanned as bytes) and the stock test run on a blog page.
#include "fuzzinput.h"
#include "info/blogsearch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray reply = fuzz::bytes(data, size);
    (void)info::parseBlogDirectory(reply);
    (void)info::mentionsStock(reply, QStringLiteral("浦发银行"), QStringLiteral("600000"));
    return 0;
}
