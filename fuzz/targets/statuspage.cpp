// The companion server's start-up status page (GBK) and the decision taken on it.
#include "app/statuscheck.h"
#include "fuzzinput.h"
#include "net/codecs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    (void)app::decideStatus(app::parseStatusPage(net::fromGbk(fuzz::bytes(data, size))));
    return 0;
}
