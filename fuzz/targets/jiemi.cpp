// The address descrambling of the TV directory, on raw bytes and on a decoded field.
#include "fuzzinput.h"
#include "net/codecs.h"
#include "tv/tvdirectory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray field = fuzz::bytes(data, size);
    (void)tv::jiemi(field);
    (void)tv::isStreamAddress(tv::descrambleAddress(net::fromGbk(field)));
    return 0;
}
