// What the transport handles share: the interface forwarded to a reference-counted implementation
// that several handles may hold. Without a valid implementation a handle answers false, 0 or an
// empty text for the queries and kInvalidHandle, the transport's own code, for the rest. Each
// transport adds how it gets an implementation and what its input and output purges mean.
#pragma once

#include "comm/IOAbstract.h"

namespace NVTools
{

template <typename Impl, HRESULT kInvalidHandle>
class CTransportHandle : public IIOAbstract
{
public:
    CTransportHandle(const CTransportHandle&) = delete;
    CTransportHandle& operator=(const CTransportHandle&) = delete;

    // The shared implementation; null without one.
    Impl* GetImpl() const { return m_pImpl; }

    bool IsValid() const override { return m_pImpl != nullptr && m_pImpl->IsTagged(); }
    HRESULT Close() override { return IsValid() ? m_pImpl->Close() : kInvalidHandle; }
    bool IsOpen() const override { return IsValid() && m_pImpl->IsOpen(); }
    ULONG GetRefCount() const override { return IsValid() ? m_pImpl->GetRefCount() : 0; }
    HRESULT Purge() override { return IsValid() ? m_pImpl->Purge() : kInvalidHandle; }
    HRESULT Write(const CByteBuffer& data, ULONG timeoutMs) override
    {
        return IsValid() ? m_pImpl->Write(data, timeoutMs) : kInvalidHandle;
    }
    HRESULT Read(ULONG expectedBytes, CByteBuffer& buffer, ULONG totalTimeoutMs,
                 CTransferControl* cancel) override
    {
        return IsValid() ? m_pImpl->Read(expectedBytes, buffer, totalTimeoutMs, cancel) : kInvalidHandle;
    }
    HRESULT AttachTraceLog(ULONG fileId) override
    {
        return IsValid() ? m_pImpl->AttachTraceLog(fileId) : kInvalidHandle;
    }
    HRESULT DetachTraceLog() override { return IsValid() ? m_pImpl->DetachTraceLog() : kInvalidHandle; }
    HRESULT OpenTraceLog(const char16_t* path, ULONG* fileId) override
    {
        return IsValid() ? m_pImpl->OpenTraceLog(path, fileId) : kInvalidHandle;
    }
    HRESULT CloseTraceLog() override { return DetachTraceLog(); }
    bool IsTraceLogOpen() const override { return IsValid() && m_pImpl->IsTraceLogOpen(); }
    ULONG GetLastErrorCode() const override { return IsValid() ? m_pImpl->GetLastErrorCode() : 0; }
    CWideString GetLastErrorText() const override
    {
        return IsValid() ? m_pImpl->GetLastErrorText() : CWideString();
    }
    HRESULT GetStatistics(ULONG* sent, ULONG* received, ULONG* delivered) override
    {
        return IsValid() ? m_pImpl->GetStatistics(sent, received, delivered) : kInvalidHandle;
    }
    HRESULT ResetStatistics() override { return IsValid() ? m_pImpl->ResetStatistics() : kInvalidHandle; }
    CWideString GetName() const override { return IsValid() ? m_pImpl->GetName() : CWideString(); }

protected:
    // Takes over one reference of impl (null: no implementation).
    explicit CTransportHandle(Impl* impl = nullptr) : m_pImpl(impl) {}
    ~CTransportHandle() override { Release(); }

    // The other handle's implementation with a reference more; null when it has none.
    static Impl* Share(const CTransportHandle& other)
    {
        return other.IsValid() && other.m_pImpl->AddRef() != 0 ? other.m_pImpl : nullptr;
    }
    // Gives back the reference and keeps no implementation.
    void Release()
    {
        if (m_pImpl != nullptr)
        {
            if (m_pImpl->IsTagged())
                m_pImpl->Release();
            m_pImpl = nullptr;
        }
    }

    Impl* m_pImpl = nullptr;
};

} // namespace NVTools
