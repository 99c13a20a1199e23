// SDI-12 parameter-set files are read back from disk: a file of any content must load into a set
// that saves as exactly the bytes it was read from, or be refused.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <linux/magic.h>
#include <string>
#include <sys/vfs.h>
#include <unistd.h>
#include <vector>

#include "foundation/Sdi12ParameterFile.h"
#include "fuzz/FuzzCheck.h"
#include "platform/Utf.h"

namespace
{

// Where the scratch folder goes: a folder in memory when the machine has one, so that the flush to
// the disk that every save makes costs the fuzzer nothing; the saving code is the product's all the
// same.
std::filesystem::path ScratchParent()
{
    std::vector<std::filesystem::path> candidates{"/dev/shm"};
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && runtime[0] != 0)
        candidates.emplace_back(runtime);
    for (const std::filesystem::path& candidate : candidates)
    {
        struct statfs info = {};
        if (statfs(candidate.c_str(), &info) == 0 && info.f_type == TMPFS_MAGIC &&
            access(candidate.c_str(), W_OK) == 0)
            return candidate;
    }
    return std::filesystem::temp_directory_path();
}

// One private folder per process, removed at exit.
struct Scratch
{
    Scratch()
    {
        std::string pattern = (ScratchParent() / "sdi12-fuzz-XXXXXX").string();
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
