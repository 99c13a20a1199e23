#include "foundation/ByteBuffer.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <system_error>

namespace
{

struct FileCloser
{
    void operator()(FILE* file) const { std::fclose(file); }
};

} // namespace

CByteBuffer::CByteBuffer(uint32_t capacity)
{
    Allocate(capacity);
}

CByteBuffer::CByteBuffer(const CByteBuffer& other)
{
    *this = other;
}

CByteBuffer& CByteBuffer::operator=(const CByteBuffer& other)
{
    if (this == &other)
        return *this;
    Free();
    if (other.m_nCapacity == 0)
        return *this;
    m_pData = new (std::nothrow) uint8_t[other.m_nCapacity];
    if (m_pData == nullptr)
        return *this;
    std::memcpy(m_pData, other.m_pData, other.m_nCapacity);
    m_nCapacity = other.m_nCapacity;
    m_nLength = other.m_nLength;
    return *this;
}

CByteBuffer::~CByteBuffer()
{
    Free();
}

void CByteBuffer::Free()
{
    delete[] m_pData;
    m_pData = nullptr;
    m_nCapacity = 0;
    m_nLength = 0;
}

BOOL CByteBuffer::Allocate(uint32_t n)
{
    Free();
    if (n == 0)
        return TRUE;
    m_pData = new (std::nothrow) uint8_t[n]();
    if (m_pData == nullptr)
        return FALSE;
    m_nCapacity = n;
    return TRUE;
}

BOOL CByteBuffer::Reserve(uint32_t n)
{
    if (n <= m_nCapacity)
        return TRUE;
    auto* block = new (std::nothrow) uint8_t[n]();
    if (block == nullptr)
        return FALSE;
    if (m_nLength > 0)
        std::memcpy(block, m_pData, m_nLength);
    delete[] m_pData;
    m_pData = block;
    m_nCapacity = n;
    return TRUE;
}

BOOL CByteBuffer::Append(uint32_t n, const void* source)
{
    if (n == 0)
        return TRUE;
    if (source == nullptr || n > UINT32_MAX - m_nLength)
        return FALSE;

    const auto* bytes = static_cast<const uint8_t*>(source);
    const std::less<const uint8_t*> before;
    const bool fromOwnBlock =
        m_pData != nullptr && !before(bytes, m_pData) && before(bytes, m_pData + m_nCapacity);
    if (fromOwnBlock && static_cast<size_t>(m_pData + m_nCapacity - bytes) < n)
        return FALSE;

    if (m_nLength + n <= m_nCapacity)
    {
        // The source may overlap the bytes being written when it lies in the own block.
        std::memmove(m_pData + m_nLength, bytes, n);
        m_nLength += n;
        return TRUE;
    }

    auto* block = new (std::nothrow) uint8_t[m_nLength + n]();
    if (block == nullptr)
        return FALSE;
    if (m_nLength > 0)
        std::memcpy(block, m_pData, m_nLength);
    std::memcpy(block + m_nLength, bytes, n); // before the old block is freed
    delete[] m_pData;
    m_pData = block;
    m_nLength += n;
    m_nCapacity = m_nLength;
    return TRUE;
}

HRESULT CByteBuffer::LoadFromFile(const std::filesystem::path& path)
{
    std::error_code error;
    if (path.empty() || !std::filesystem::exists(path, error))
        return E_INVALIDARG;
    Free();

    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error)
        return E_FAIL;
    if (size > FIRMWARE_FILE_SIZE_LIMIT)
        return E_OUTOFMEMORY;
    if (size == 0)
        return E_FAIL; // nothing to read counts as a short read
    if (!Allocate(static_cast<uint32_t>(size)))
        return E_OUTOFMEMORY;

    const std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file || std::fread(m_pData, 1, m_nCapacity, file.get()) != m_nCapacity)
    {
        Free();
        return E_FAIL;
    }
    m_nLength = m_nCapacity;
    return S_OK;
}
