// The TV channel directory (GBK): its records, categories, menus and playable programmes.
#include "fuzzinput.h"
#include "net/codecs.h"
#include "tv/tvdirectory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const tv::TvDirectory directory = tv::parseTvDirectory(net::fromGbk(fuzz::bytes(data, size)));
    for (const tv::Category& category : directory.categories)
        (void)directory.categoryMenu(category.name);
    for (const tv::Channel& channel : directory.channels)
        if (const auto programme = directory.findPlayable(channel.name))
            (void)tv::isStreamAddress(programme->address);
    return 0;
}
