// The companion server's list of evaluating sites (scanned as bytes), for a Shanghai and a
// Shenzhen code, which take different address rules.
#include "fuzzinput.h"
#include "info/companionpages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray reply = fuzz::bytes(data, size);
    (void)info::parseSiteEvaluations(reply, QStringLiteral("600000"));
    (void)info::parseSiteEvaluations(reply, QStringLiteral("000001"));
    return 0;
}
