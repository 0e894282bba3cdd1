// The company news page (GBK): the latest rumour and research report.
#include "fuzzinput.h"
#include "info/rumours.h"
#include "net/codecs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    (void)info::scanCompanyPage(net::fromGbk(fuzz::bytes(data, size)));
    return 0;
}
