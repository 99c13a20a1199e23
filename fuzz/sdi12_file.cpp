// SDI-12 parameter-set files are read back from disk: a file of any content must load into a set
// that saves as exactly the bytes it was read from, or be refused.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

#include "foundation/Sdi12ParameterFile.h"
#include "fuzz/FuzzCheck.h"
#include "platform/Utf.h"

namespace
{

// One private folder per process, removed at exit.
struct Scratch
{
    Scratch()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "sdi12-fuzz-XXXXXX").string();
        Check(mkdtemp(pattern.data()) != nullptr);
        dir = pattern;
    }
    ~Scratch()
    {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    std::filesystem::path dir;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 0x40000)
        return 0;
    static Scratch scratch;
    const std::filesystem::path input = scratch.dir / "input.sdi";
    const std::filesystem::path output = scratch.dir / "output.sdi";
    {
        std::ofstream file(input, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }

    sParameterSet set;
    const std::u16string inputPath = platform::Utf8ToUtf16(input.string());
    if (Failed(LoadParameterSetFile(set, inputPath.c_str())))
    {
        Check(set.selections.GetCount() <= size / 4);
        return 0;
    }
    const size_t used = 6 + 4 * static_cast<size_t>(set.selections.GetCount());
    Check(used <= size);
    Check(std::u16string(set.path) == inputPath);

    Check(SaveParameterSetFile(set, platform::Utf8ToUtf16(output.string()).c_str()) == S_OK);
    std::ifstream saved(output, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(saved), std::istreambuf_iterator<char>()};
    Check(bytes.size() == used && std::memcmp(bytes.data(), data, used) == 0);
    return 0;
}
