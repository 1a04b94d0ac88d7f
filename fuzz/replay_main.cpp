// Runs a fuzz target's entry point over every file of the given files and folders (the kept
// corpus and the crash inputs), so that an ordinary sanitizer build checks them all in seconds.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

namespace fs = std::filesystem;

void replay(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
    std::printf("%s\n", file.c_str());
    std::fflush(stdout);
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
    size_t count = 0;
    for (int i = 1; i < argc; ++i) {
        const fs::path place = argv[i];
        if (!fs::exists(place)) continue;
        if (!fs::is_directory(place)) {
            replay(place);
            ++count;
            continue;
        }
        for (const auto& entry : fs::recursive_directory_iterator(place)) {
            if (!entry.is_regular_file() || entry.path().filename().string().starts_with("."))
                continue;
            replay(entry.path());
            ++count;
        }
    }
    std::printf("replayed %zu inputs\n", count);
    // An empty corpus means the test is looking in the wrong place.
    return count > 0 ? 0 : 1;
}
