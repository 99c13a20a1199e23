// The wait cursor for the length of a scope, as the system's windows show it around a short
// operation on the user-interface thread. Serial work that may take longer runs through
// ui::WaitForWork (WaitForWork.h), which shows the same cursor and keeps the windows painted.
#pragma once

#include <QCursor>
#include <QGuiApplication>

class CWaitCursor
{
public:
    CWaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CWaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

namespace ui
{

// The normal cursor for the length of a scope while a wait cursor is shown: a window that waits
// for the user (a message box, a file dialog, a popup) is never shown under the busy cursor.
// Without a wait cursor it changes nothing.
class CNormalCursor
{
public:
    CNormalCursor() : m_bPushed(QGuiApplication::overrideCursor() != nullptr)
    {
        if (m_bPushed)
            QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    ~CNormalCursor()
    {
        if (m_bPushed)
            QGuiApplication::restoreOverrideCursor();
    }
    CNormalCursor(const CNormalCursor&) = delete;
    CNormalCursor& operator=(const CNormalCursor&) = delete;

private:
    bool m_bPushed;
};

} // namespace ui
