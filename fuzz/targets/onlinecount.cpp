// The companion server's online-user count page (GBK) and the payload framing its pages share.
#include "core/companion.h"
#include "fuzzinput.h"
#include "net/codecs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString page = net::fromGbk(fuzz::bytes(data, size));
    (void)app::onlineCount(page);
    (void)app::framedPayload(page);
    return 0;
}
