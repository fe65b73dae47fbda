// Runs a fuzz target's entry point once on each file named on the command
// line, the way libFuzzer replays a corpus, for compilers without libFuzzer.
// A property the target checks aborts the run; so does an unreadable file.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

// Far above the 512 bytes the fuzzers are run with: a larger file is not an input.
constexpr std::size_t kLargestInput = 1 << 20;

bool readInput(const char* path, std::vector<std::uint8_t>& bytes) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "replay: cannot open %s\n", path);
        return false;
    }
    bytes.clear();
    char byte = 0;
    while (bytes.size() <= kLargestInput && file.get(byte))
        bytes.push_back(static_cast<std::uint8_t>(byte));
    if (bytes.size() > kLargestInput) {
        std::fprintf(stderr, "replay: %s is larger than %zu bytes\n", path, kLargestInput);
        return false;
    }
    if (file.bad()) {
        std::fprintf(stderr, "replay: cannot read %s\n", path);
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s INPUT...\n", argv[0]);
        return 2;
    }
    LLVMFuzzerInitialize(&argc, &argv);
    std::vector<std::uint8_t> bytes;
    for (int i = 1; i < argc; ++i) {
        if (!readInput(argv[i], bytes))
            return 1;
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        std::printf("ok %s (%zu bytes)\n", argv[i], bytes.size());
    }
    std::printf("%d inputs replayed\n", argc - 1);
    return 0;
}
