// The growable byte buffer that every frame, register payload, device file and note block passes
// through. It never reserves spare room: growth is always to the exact new length. A buffer that is
// emptied with Clear keeps its block, so that one refilled for every transaction allocates only
// when it must grow.
#pragma once

#include <cstdint>
#include <filesystem>

#include "platform/Types.h"

// The largest file LoadFromFile reads (firmware images are the largest files the system reads).
inline constexpr uint32_t FIRMWARE_FILE_SIZE_LIMIT = 0x6400000u;

class CByteBuffer
{
public:
    // capacity zeroed bytes, length 0; the capacity stays 0 when they cannot be allocated.
    explicit CByteBuffer(uint32_t capacity = 0);
    CByteBuffer(const CByteBuffer& other);
    CByteBuffer& operator=(const CByteBuffer& other);
    ~CByteBuffer();

    uint32_t GetLength() const { return m_nLength; }
    uint32_t GetCapacity() const { return m_nCapacity; }
    uint8_t* GetData() { return m_pData; }
    const uint8_t* GetData() const { return m_pData; }

    // Replaces the contents by n zeroed bytes of capacity and length 0; n = 0 empties the buffer and
    // frees its block.
    BOOL Allocate(uint32_t n);
    // Length 0; the block stays, with its capacity and the old bytes past the length.
    void Clear() { m_nLength = 0; }
    // Room for n bytes in all, the contents kept: a smaller block is replaced by one of exactly n
    // bytes (zeroed past the length). FALSE, the buffer unchanged, when memory runs out.
    BOOL Reserve(uint32_t n);

    // The source may lie anywhere in this buffer's own block, its data included: the bytes are
    // copied before the old block goes. FALSE (the buffer unchanged) when memory runs out, the
    // length would overflow, or a source inside the own block runs past its end.
    BOOL Append(uint32_t n, const void* source);

    // Reads a whole file. E_INVALIDARG when it does not exist (the buffer kept as it was);
    // otherwise the buffer is emptied first, E_OUTOFMEMORY above FIRMWARE_FILE_SIZE_LIMIT, E_FAIL
    // when the file cannot be read whole (an empty file included).
    HRESULT LoadFromFile(const std::filesystem::path& path);

private:
    void Free();

    uint8_t* m_pData = nullptr;
    uint32_t m_nCapacity = 0;
    uint32_t m_nLength = 0;
};
