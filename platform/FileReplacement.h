// A file that the user keeps, replaced whole or not at all: the new bytes go to a temporary file
// beside the target, which is flushed to the disk and then renamed over the target. Until Commit
// succeeds the target keeps its previous content, whatever fails on the way (a full disk, a size
// limit, a folder that cannot be written); an object that goes without a successful Commit removes
// its temporary file. The new file has the permissions of the one it replaces, else those the
// process gives new files.
#pragma once

#include <cstddef>
#include <filesystem>

namespace platform
{

class CFileReplacement
{
public:
    explicit CFileReplacement(std::filesystem::path target);
    ~CFileReplacement();
    CFileReplacement(const CFileReplacement&) = delete;
    CFileReplacement& operator=(const CFileReplacement&) = delete;

    // Each returns 0 or the errno of the failure; after a failure only the destructor is left.
    // Creates the temporary file. EINVAL when the target exists and is no regular file (a device,
    // a folder); a link to a regular file has the file it names replaced.
    int Open();
    // Appends the bytes to it (every byte, or a failure).
    int Write(const void* data, size_t size);
    // Flushes and closes it and renames it over the target.
    int Commit();

private:
    void Discard();

    std::filesystem::path m_Target;
    std::filesystem::path m_Temporary;
    int m_fd = -1;
};

} // namespace platform
