// The notice list of the data site (GBK): titles, addresses, dates and the announced-today test.
#include "fuzzinput.h"
#include "info/announcements.h"
#include "net/codecs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    info::AnnouncementLists lists;
    info::scanNoticeList(net::fromGbk(fuzz::bytes(data, size)), QStringLiteral("http://127.0.0.1:8780"), lists);
    (void)info::announcedToday(lists.dates, QDate(2026, 12, 9));
    return 0;
}
