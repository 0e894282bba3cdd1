// What every fuzz target shares: the input bytes as the network hands them over.
#pragma once

#include <QByteArray>
#include <cstddef>
#include <cstdint>

namespace fuzz {

// A view of the input without a copy, so a read one byte past the end hits the sanitizer's
// redzone instead of a spare terminator.
inline QByteArray bytes(const uint8_t* data, size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
}

} // namespace fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
