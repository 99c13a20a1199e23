// The one container of the device, sensor, note, transport and calibration code: a contiguous
// array whose block always holds exactly as many elements as the array has. Arrays are short, so
// every change of size allocates the exact new block, copies what stays and frees the old block.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <new>
#include <stdexcept>
#include <type_traits>

#include "platform/Types.h"

inline constexpr uint32_t DYNARRAY_TAG = 0xF1ECDD32u;

template <typename T>
class CDynArray
{
public:
    CDynArray() = default;

    // Takes the source's copy-by-memory flag but copies element by element.
    CDynArray(const CDynArray& other) : m_bCopyByMemory(other.m_bCopyByMemory)
    {
        if (SetSize(other.m_nCount))
        {
            for (uint32_t i = 0; i < m_nCount; ++i)
                Assign(m_pData[i], other.m_pData[i]);
        }
    }

    ~CDynArray()
    {
        delete[] m_pData;
        m_pData = nullptr;
        m_nCount = 0;
        m_nTag = 0;
    }

    // Assigning an array to itself keeps it as it is.
    CDynArray& operator=(const CDynArray& other)
    {
        if (this == &other)
            return *this;
        RemoveAll();
        if (SetSize(other.m_nCount))
            CopyElements(m_pData, other.m_pData, m_nCount);
        return *this;
    }

    uint32_t GetCount() const { return m_nCount; }
    T* GetData() { return m_pData; }
    const T* GetData() const { return m_pData; }
    uint32_t GetTag() const { return m_nTag; }

    // Honoured only for element types that a block copy can duplicate; others are always copied
    // one by one, whatever the owner asks.
    void SetCopyByMemory(BOOL copyByMemory) { m_bCopyByMemory = copyByMemory; }
    BOOL GetCopyByMemory() const { return m_bCopyByMemory; }

    // An index at or past the count means the last element; an empty array has none to give.
    T& operator[](uint32_t index) { return m_pData[ClampIndex(index)]; }
    const T& operator[](uint32_t index) const { return m_pData[ClampIndex(index)]; }

    // New elements are value-initialised: zero for plain data, the default for records.
    // FALSE, the array unchanged, when the block cannot be allocated.
    BOOL SetSize(uint32_t count)
    {
        if (count == m_nCount)
            return TRUE;
        if (count == 0)
        {
            Free();
            return TRUE;
        }
        T* block = new (std::nothrow) T[count]();
        if (block == nullptr)
            return FALSE;
        CopyElements(block, m_pData, std::min(count, m_nCount));
        delete[] m_pData;
        m_pData = block;
        m_nCount = count;
        return TRUE;
    }

    void CopyElements(T* destination, const T* source, uint32_t count) const
    {
        if (count == 0)
            return;
        if constexpr (std::is_trivially_copyable_v<T>)
        {
            if (m_bCopyByMemory)
            {
                std::memcpy(destination, source, sizeof(T) * count);
                return;
            }
        }
        for (uint32_t i = 0; i < count; ++i)
            Assign(destination[i], source[i]);
    }

    void RemoveAll()
    {
        Free();
        if constexpr (kClearsTagOnRemoveAll)
            m_nTag = 0;
    }

    // Returns the index of the new last element, or -1 when the block cannot be allocated. The
    // element may be one of this array's own: it is copied before the old block goes.
    int Add(const T& element)
    {
        const uint32_t index = m_nCount;
        return Insert(index, element) ? static_cast<int>(index) : -1;
    }

    // Before the element at index; at or past the end it appends. The element may be one of this
    // array's own.
    BOOL InsertAt(uint32_t index, const T& element) { return Insert(std::min(index, m_nCount), element); }

    BOOL RemoveAt(uint32_t index)
    {
        if (index >= m_nCount)
            return FALSE;
        if (index == m_nCount - 1)
            return SetSize(m_nCount - 1);
        T* block = new (std::nothrow) T[m_nCount - 1]();
        if (block == nullptr)
            return FALSE;
        CopyElements(block, m_pData, index);
        CopyElements(block + index, m_pData + index + 1, m_nCount - index - 1);
        delete[] m_pData;
        m_pData = block;
        --m_nCount;
        return TRUE;
    }

private:
    // The 4-byte plain instance (floats, ids, pointers) clears its tag in RemoveAll as well.
    static constexpr bool kClearsTagOnRemoveAll =
        std::is_scalar_v<T> && (sizeof(T) == 4 || std::is_pointer_v<T>);

    static void Assign(T& destination, const T& source)
    {
        if constexpr (std::is_array_v<T>)
            std::copy(std::begin(source), std::end(source), std::begin(destination));
        else
            destination = source;
    }

    uint32_t ClampIndex(uint32_t index) const
    {
        if (m_nCount == 0)
            throw std::out_of_range("CDynArray: element of an empty array");
        return std::min(index, m_nCount - 1);
    }

    BOOL Insert(uint32_t index, const T& element)
    {
        // A local count: the allocation below may, for all the compiler knows, change members.
        const uint32_t count = m_nCount;
        if (count == UINT32_MAX || index > count)
            return FALSE;
        T* block = new (std::nothrow) T[count + 1]();
        if (block == nullptr)
            return FALSE;
        CopyElements(block, m_pData, index);
        Assign(block[index], element); // still valid: the old block is freed below
        CopyElements(block + index + 1, m_pData + index, count - index);
        delete[] m_pData;
        m_pData = block;
        m_nCount = count + 1;
        return TRUE;
    }

    void Free()
    {
        delete[] m_pData;
        m_pData = nullptr;
        m_nCount = 0;
    }

    BOOL m_bCopyByMemory = FALSE;
    T* m_pData = nullptr;
    uint32_t m_nCount = 0;
    uint32_t m_nTag = DYNARRAY_TAG;
};
