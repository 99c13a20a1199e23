// Replays every file of the corpus folders given on the command line through the fuzz entry point,
// so that the seed corpus runs as an ordinary test under the sanitizers of the build.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv)
{
    size_t files = 0;
    for (int i = 1; i < argc; ++i)
    {
        std::error_code ec;
        if (!std::filesystem::is_directory(argv[i], ec))
        {
            std::fprintf(stderr, "corpus folder not found: %s\n", argv[i]);
            return 1;
        }
        for (const auto& entry : std::filesystem::recursive_directory_iterator(argv[i]))
        {
            if (!entry.is_regular_file())
                continue;
            std::ifstream in(entry.path(), std::ios::binary);
            std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                       std::istreambuf_iterator<char>());
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
            ++files;
        }
    }
    // Also the empty input, which every parser must survive.
    LLVMFuzzerTestOneInput(nullptr, 0);
    std::printf("%zu corpus files replayed\n", files);
    return files > 0 ? 0 : 1;
}
