// Runs a fuzz target's entry point once on every input it is given, without the fuzzing engine:
// the ordinary sanitizer build replays the seeds and the kept findings this way. Arguments are
// files or folders (every file directly inside, in name order); a missing folder is skipped,
// and the run fails when nothing at all was replayed.
#include "fuzzinput.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));

namespace {

bool replay(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "replay: cannot read %s\n", file.c_str());
        return false;
    }
    // An exactly sized heap block, as the fuzzing engine passes it: one byte past the end is
    // outside the allocation.
    const std::vector<char> content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<uint8_t> input(content.begin(), content.end());
    input.shrink_to_fit();
    LLVMFuzzerTestOneInput(input.data(), input.size());
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    int replayed = 0;
    bool ok = true;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path arg(argv[i]);
        std::error_code error;
        if (std::filesystem::is_directory(arg, error)) {
            std::vector<std::filesystem::path> files;
            for (const auto& entry : std::filesystem::directory_iterator(arg))
                if (entry.is_regular_file())
                    files.push_back(entry.path());
            std::sort(files.begin(), files.end());
            for (const auto& file : files)
                ok = replay(file) && ok, ++replayed;
        } else if (std::filesystem::exists(arg, error)) {
            ok = replay(arg) && ok;
            ++replayed;
        } else {
            std::printf("replay: %s does not exist, skipped\n", argv[i]);
        }
    }
    std::printf("replay: %d inputs\n", replayed);
    return ok && replayed > 0 ? 0 : 1;
}
