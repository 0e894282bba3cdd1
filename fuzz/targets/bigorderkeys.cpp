// The large-order site's three chart pages, decoded as the page loader decodes a document, read
// by the key scanner and turned into the charts and the hourly announcements. The first input
// byte picks the reply's content type (GBK as the site sends it, UTF-8, or none, which makes the
// loader look for a <meta charset>), so every decoding is reached.
#include "bigorder/bigorderpages.h"
#include "bigorder/bigorderrules.h"
#include "fuzzinput.h"
#include "net/pageloader.h"

#include <QDateTime>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace bigorder;
    if (size == 0)
        return 0;
    static const QByteArray types[] = {"text/html; charset=gbk", "text/html; charset=utf-8", "text/html"};
    const QByteArray& type = types[data[0] % 3];
    const QString document = net::PageLoader::decodeDocument(fuzz::bytes(data + 1, size - 1), type);
    const QStringView body = bodyMarkup(document);

    const QString name = QStringLiteral("浦发银行"), code = QStringLiteral("600000");
    const QDate today(2026, 12, 9);
    BigOrderLists lists;
    if (parseHourPage(body, lists))
        (void)hourChart(name, code, lists);
    parseDayPage(body, lists);
    (void)dayChart(name, code, lists);
    (void)tenDayChart(name, code, lists);
    parsePiePage(body, lists);
    (void)pieChart(name, code, today, lists);

    FlowState state;
    for (const QTime time : {QTime(10, 31), QTime(11, 31), QTime(14, 1), QTime(15, 1)})
        (void)flowTick(QDateTime(today, time), lists, state);
    return 0;
}
