#include "platform/FileReplacement.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace platform
{

namespace
{

constexpr int kNameAttempts = 100;

std::atomic<unsigned> g_nextName{0};

int CloseKeepingErrno(int fd)
{
    return close(fd) == 0 ? 0 : errno;
}

} // namespace

CFileReplacement::CFileReplacement(std::filesystem::path target) : m_Target(std::move(target)) {}

CFileReplacement::~CFileReplacement()
{
    Discard();
}

void CFileReplacement::Discard()
{
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
    if (!m_Temporary.empty())
        unlink(m_Temporary.c_str());
    m_Temporary.clear();
}

int CFileReplacement::Open()
{
    Discard();
    if (m_Target.empty() || !m_Target.has_filename())
        return ENOENT;
    // Only a regular file is replaced; a link to one has the file it names replaced and stays.
    struct stat existing
    {
    };
    if (stat(m_Target.c_str(), &existing) == 0)
    {
        if (!S_ISREG(existing.st_mode))
            return EINVAL;
        std::error_code error;
        if (std::filesystem::is_symlink(m_Target, error))
        {
            std::filesystem::path resolved = std::filesystem::canonical(m_Target, error);
            if (error)
                return error.value();
            m_Target = std::move(resolved);
        }
    }
    // A hidden name of its own in the target's folder, so that the rename stays on one file system.
    const std::string stem = "." + m_Target.filename().string() + ".tmp-" + std::to_string(getpid()) + "-";
    for (int attempt = 0; attempt < kNameAttempts; ++attempt)
    {
        std::filesystem::path candidate = m_Target;
        candidate.replace_filename(stem + std::to_string(g_nextName.fetch_add(1)));
        const int fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
        {
            // A target made readable to others (or not) keeps that choice.
            if (S_ISREG(existing.st_mode))
                fchmod(fd, existing.st_mode & 07777);
            m_fd = fd;
            m_Temporary = std::move(candidate);
            return 0;
        }
        if (errno != EEXIST)
            return errno;
    }
    return EEXIST;
}

int CFileReplacement::Write(const void* data, size_t size)
{
    if (m_fd < 0)
        return EBADF;
    const auto* bytes = static_cast<const char*>(data);
    size_t done = 0;
    while (done < size)
    {
        const ssize_t n = write(m_fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
        {
            // A write that takes nothing without an error has met a full device.
            const int error = n < 0 ? errno : ENOSPC;
            Discard();
            return error;
        }
        done += static_cast<size_t>(n);
    }
    return 0;
}

int CFileReplacement::Commit()
{
    if (m_fd < 0)
        return EBADF;
    int error = fsync(m_fd) == 0 ? 0 : errno;
    const int closed = CloseKeepingErrno(m_fd);
    m_fd = -1;
    if (error == 0)
        error = closed;
    if (error == 0 && rename(m_Temporary.c_str(), m_Target.c_str()) != 0)
        error = errno;
    if (error != 0)
    {
        Discard();
        return error;
    }
    m_Temporary.clear();
    // The rename itself made durable; the new content is safe whether or not this succeeds.
    std::filesystem::path folder = m_Target.parent_path();
    if (folder.empty())
        folder = ".";
    if (const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0)
    {
        fsync(dir);
        close(dir);
    }
    return 0;
}

} // namespace platform
