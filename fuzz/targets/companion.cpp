// The companion server as it faces the network: raw request bytes through the HTTP layer's
// parser, then every page and form of the companion server (the board, the forms, the pages that
// read the store and the market). The store lives in memory and starts afresh every few hundred
// inputs, so it stays small and the board's daily limit never shuts the post path for good.
#include "fuzzinput.h"

#include "companionserver.h"
#include "http.h"
#include "market.h"
#include "marketfeed.h"
#include "requests.h"

#include <QCoreApplication>

namespace {

struct World {
    feed::Market market{1};
    feed::SimulatedFeed feed{market};
    std::unique_ptr<server::Companion> companion;
    int inputs = 0;

    server::Companion& fresh()
    {
        if (!companion || ++inputs >= 256) {
            companion.reset();   // closes the old connection first
            companion = std::make_unique<server::Companion>(
                server::CompanionOptions{}, feed, market,
                [] { return QDateTime(QDate(2026, 12, 9), QTime(10, 0)); },
                [] { return QStringLiteral("http://127.0.0.1:8780"); });
            QString error;
            if (!companion->open(QStringLiteral(":memory:"), &error))
                qFatal("the in-memory store does not open: %s", qPrintable(error));
            inputs = 0;
        }
        return *companion;
    }
};

// Never destroyed: at exit Qt's SQL registry may be gone before a static store would close.
World* world = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);   // the SQL driver is a plug-in
    world = new World;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    server::http::RequestParser parser;
    if (parser.feed(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)))
        != server::http::RequestParser::State::Complete)
        return 0;
    const server::http::Request& request = parser.request();
    const auto form = server::decodeGbkForm(request.body);
    const auto field = [&](const QString& key) { return server::fieldValue(request.rawQuery, form, key); };
    server::Companion& companion = world->fresh();
    const QDateTime received(QDate(2026, 12, 9), QTime(10, 0));
    companion.seen(QHostAddress(QStringLiteral("127.0.0.1")), received);
    (void)companion.answer({request.path.toLower(), field, QStringLiteral("127.0.0.1"), received, request.method});
    return 0;
}
