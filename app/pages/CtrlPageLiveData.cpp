#include "app/pages/CtrlPageLiveData.h"

#include <mutex>

#include <QLabel>
#include <QVBoxLayout>

CCtrlPage_LiveData::CCtrlPage_LiveData(QWidget* pParentWnd) : CCtrlPage_Base(kTemplateId, pParentWnd) {}

BOOL CCtrlPage_LiveData::OnInitDialog()
{
    CCtrlPage_Base::OnInitDialog();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Live Data"), this));
    layout->addStretch();
    return TRUE;
}

BOOL CCtrlPage_LiveData::IsReading()
{
    std::lock_guard lock(m_PageLock);
    return m_bReading;
}

BOOL CCtrlPage_LiveData::IsLoggingToFile()
{
    std::lock_guard lock(m_PageLock);
    return m_bLogToFile;
}

void CCtrlPage_LiveData::StopReading()
{
    std::lock_guard lock(m_PageLock);
    m_bReading = FALSE;
}
