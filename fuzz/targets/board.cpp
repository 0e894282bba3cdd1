// The recommendation board (GBK): its records, the run's list they merge into, the lines shown,
// and the reply to a post.
#include "fuzzinput.h"
#include "net/codecs.h"
#include "recommend/board.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace recommend;
    const QString page = net::fromGbk(fuzz::bytes(data, size));
    const QList<Recommendation> records = parseBoard(page);
    RecommendationList list;
    list.merge(records);
    list.merge(records);
    for (qsizetype i = 0; i < list.size() && i < kMaxLines; ++i) {
        (void)lineCaption(list.at(i));
        (void)lineHint(list.at(i));
        (void)isStockCode(list.at(i).stock);
    }
    (void)postOutcome(page);
    return 0;
}
