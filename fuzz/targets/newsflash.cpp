// The stock site's news flash list (GBK): the newest item's link and headline.
#include "fuzzinput.h"
#include "info/newsflash.h"
#include "net/codecs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    (void)info::scanNewsFlash(net::fromGbk(fuzz::bytes(data, size)));
    return 0;
}
