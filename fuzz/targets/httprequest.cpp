// The companion server's request parser on arbitrary bytes, read whole and in pieces: both
// readings must end the same way, with the same request or the same refusal.
#include "fuzzinput.h"
#include "http.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using server::http::RequestParser;
    const QByteArray input = fuzz::bytes(data, size);
    // Small limits, so that inputs of a few kilobytes reach each of them.
    server::http::Limits limits;
    limits.maxHeadBytes = 2048;
    limits.maxHeaders = 16;
    limits.maxBodyBytes = 1024;
    limits.maxFields = 32;

    RequestParser whole(limits);
    const RequestParser::State state = whole.feed(input);

    RequestParser pieces(limits);
    RequestParser::State piecesState = RequestParser::State::NeedMore;
    const qsizetype step = size ? data[0] % 13 + 1 : 1;   // the first byte chooses the piece size
    for (qsizetype i = 0; i < input.size(); i += step)
        piecesState = pieces.feed(QByteArrayView(input).sliced(i, qMin(step, input.size() - i)));

    if (piecesState != state)
        std::abort();
    if (state == RequestParser::State::Refused && whole.status() != pieces.status())
        std::abort();
    if (state == RequestParser::State::Complete) {
        const auto& a = whole.request();
        const auto& b = pieces.request();
        if (a.method != b.method || a.target != b.target || a.path != b.path || a.rawQuery != b.rawQuery
            || a.headers != b.headers || a.body != b.body || a.body.size() > limits.maxBodyBytes)
            std::abort();
    }
    return 0;
}
