// The sandbox's reading of a request: query text, form body, field look-up and the log line.
#include "fuzzinput.h"
#include "sandboxrequest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const fuzz::Request request = fuzz::request(fuzz::bytes(data, size));
    server::LoggedRequest logged;
    logged.method = "POST";
    logged.path = request.path;
    logged.query = server::decodeQueryText(request.rawQuery);
    logged.form = request.form;
    (void)server::logLine(logged);
    for (const char* key : {"sn", "code", "fav", "gpdm", "tjly"})
        (void)server::fieldValue(request.rawQuery, request.form, QString::fromLatin1(key));
    return 0;
}
