// CCtrlPage_LiveData: the first page of the main window, where live parameter values are polled
// and logged. The main window reads its reading flag (keep-alive, leaving the page) and stops its
// reading when the user leaves it.
//
// This is the page's frame: the flag and its lock, with no polling yet.
#pragma once

#include "app/pages/CtrlPageBase.h"
#include "platform/Sync.h"

class CCtrlPage_LiveData : public CCtrlPage_Base
{
    Q_OBJECT

public:
    static constexpr UINT kTemplateId = 132;

    explicit CCtrlPage_LiveData(QWidget* pParentWnd = nullptr);

    // The reading flag under the page lock; any thread.
    BOOL IsReading();
    // The log-to-file flag under the page lock; any thread.
    BOOL IsLoggingToFile();
    // Stops the polling (the main window calls it when the user leaves the page).
    void StopReading();
    // The page lock: guards the reading and logging flags. A leaf lock: nothing is taken under it.
    platform::CCriticalSection& GetPageLock() { return m_PageLock; }

protected:
    BOOL OnInitDialog() override;

    platform::CCriticalSection m_PageLock;
    BOOL m_bReading = FALSE;   // under m_PageLock
    BOOL m_bLogToFile = FALSE; // under m_PageLock
};
