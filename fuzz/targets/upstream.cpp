// The live market's readers of upstream replies (quote lines of both services, the index replies
// of East Money and Tencent, the large-trade list, the money flow, notices, news and the forum's
// post lists): each reads the same bytes; and the readers of the commentary, research-report and
// rumour services.
#include "fuzzinput.h"
#include "liveforum.h"
#include "livenews.h"
#include "upstream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace feed::upstream;
    const QByteArray body = fuzz::bytes(data, size);
    const QStringList codes = {QStringLiteral("600036"), QStringLiteral("000001")};
    const QDate day(2026, 12, 9);
    (void)readTencent(body, codes);
    (void)readSina(body, codes);
    (void)readTencent(body, {QStringLiteral("920002"), QStringLiteral("510300")});
    (void)readIndices(body);
    (void)readTencentIndices(body);
    (void)readBills(body, day, QDateTime(day, QTime(14, 30)));
    (void)readMoneyFlow(body);
    (void)readNotices(body, codes.first());
    (void)readNews(body);
    (void)feed::liveforum::readListPage(body, codes.first());
    (void)feed::liveforum::readArticleList(body, codes.first());
    using namespace feed::livenews;
    for (const auto report : {CommentReport::Diagnosis, CommentReport::TrendVolume, CommentReport::Figures})
        (void)readComment(report, body);
    (void)readReports(body);
    (void)readQuestions(body);
    (void)readIrmOrg(body, codes.last());
    (void)readIrmQuestions(body);
    (void)readSnsCompany(body);
    (void)readSnsQuestions(body, QDateTime(day, QTime(14, 30)));
    return 0;
}
