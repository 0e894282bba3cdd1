// The stock forum's topic page (GBK), the posts kept from it and the latest-post line.
#include "fuzzinput.h"
#include "info/forum.h"
#include "net/codecs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QList<info::ForumPost> posts =
        info::scanForumPage(net::fromGbk(fuzz::bytes(data, size)), QStringLiteral("http://127.0.0.1:8780"), 2026);
    info::ForumPosts kept;
    // The first post's date stands for today, so the posts are really taken in.
    const QString today = posts.isEmpty() ? QStringLiteral("2026-12-9") : posts.first().date;
    for (int read = 0; read < 2; ++read) {
        const int added = kept.addToday(posts, today);
        const info::LatestPostUpdate latest = kept.updateLatest(added);
        if (latest.show)
            (void)info::latestCaption(kept.PostTitleList.value(latest.post));
    }
    for (int row = 0; row <= kept.count() + 1; ++row) {
        kept.markOpened(row);
        (void)kept.opened(row);
    }
    return 0;
}
