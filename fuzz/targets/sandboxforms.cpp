// The sandbox's companion form pages and the recommendation post: field checks and the store
// writes they lead to. The store lives in memory and starts afresh every few hundred inputs, so
// its size stays bounded and the two-posts-a-day limit does not shut the post path for good.
#include "fuzzinput.h"
#include "forms.h"
#include "recommend.h"
#include "sandboxrequest.h"
#include "store.h"

#include <QCoreApplication>

namespace {

// Never destroyed: at exit Qt's SQL registry may be gone before a static store would close.
server::CompanionStore* store = nullptr;
int inputsOnStore = 0;

server::CompanionStore& freshEnoughStore()
{
    if (!store || ++inputsOnStore >= 256) {
        delete store;   // closes the old connection first
        store = new server::CompanionStore;
        QString error;
        if (!store->open(QStringLiteral(":memory:"), &error))
            qFatal("the in-memory store does not open: %s", qPrintable(error));
        inputsOnStore = 0;
    }
    return *store;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);   // the SQL driver is a plug-in
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const fuzz::Request request = fuzz::request(fuzz::bytes(data, size));
    const QString path = request.path.toLower();
    auto field = [&](const QString& key) { return server::fieldValue(request.rawQuery, request.form, key); };
    server::CompanionStore& companion = freshEnoughStore();
    if (path == QLatin1String("/gpjg.asp"))
        (void)server::recommend::answerPost(companion, QStringLiteral("127.0.0.1"),
                                             QDateTime(QDate(2026, 12, 9), QTime(10, 0)), field);
    else if (server::answerForm(companion, path, field) && server::isPhoneNumber(field(QStringLiteral("sn"))))
        (void)companion.config(field(QStringLiteral("sn")));
    return 0;
}
