// The company-data site's one-line commentary page (GBK).
#include "fuzzinput.h"
#include "info/commentary.h"
#include "net/codecs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    (void)info::scanCommentary(net::fromGbk(fuzz::bytes(data, size)));
    return 0;
}
