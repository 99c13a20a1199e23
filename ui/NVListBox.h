// The list boxes of the windows. CNVListBox can widen its horizontal scrolling to its longest
// text (auto extent; without it there is no horizontal scrolling) and keep a newly added item in
// view (auto scroll). CNVCheckListBox has a check box before every item.
#pragma once

#include <QListWidget>

#include "platform/Types.h"

class CNVListBox : public QListWidget
{
public:
    explicit CNVListBox(QWidget* parent = nullptr);

    // The index of the new item.
    int AddString(const QString& text);
    // Inserts before index (a negative index counts as 0; at or past the end it adds); returns the
    // index of the new item.
    int InsertString(int index, const QString& text);
    void SetAutoExtent(BOOL autoExtent);
    void SetAutoScroll(BOOL autoScroll) { m_bAutoScroll = autoScroll; }

private:
    BOOL m_bAutoScroll = FALSE;
};

class CNVCheckListBox : public QListWidget
{
public:
    explicit CNVCheckListBox(QWidget* parent = nullptr);

    // The index of the new, unchecked item.
    int AddString(const QString& text);
    // Nothing for an index outside the list.
    void SetCheck(int index, BOOL checked);
    // FALSE for an index outside the list.
    BOOL GetCheck(int index) const;
};
