#include "ui/NVListBox.h"

#include <algorithm>

CNVListBox::CNVListBox(QWidget* parent) : QListWidget(parent)
{
    SetAutoExtent(FALSE);
}

int CNVListBox::AddString(const QString& text)
{
    addItem(text);
    const int index = count() - 1;
    if (m_bAutoScroll)
        scrollToItem(item(index));
    return index;
}

int CNVListBox::InsertString(int index, const QString& text)
{
    index = std::max(index, 0);
    if (index >= count())
        return AddString(text);
    insertItem(index, text);
    return index;
}

void CNVListBox::SetAutoExtent(BOOL autoExtent)
{
    setHorizontalScrollBarPolicy(autoExtent ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
}

CNVCheckListBox::CNVCheckListBox(QWidget* parent) : QListWidget(parent) {}

int CNVCheckListBox::AddString(const QString& text)
{
    auto* entry = new QListWidgetItem(text, this);
    entry->setFlags(entry->flags() | Qt::ItemIsUserCheckable);
    entry->setCheckState(Qt::Unchecked);
    return count() - 1;
}

void CNVCheckListBox::SetCheck(int index, BOOL checked)
{
    if (QListWidgetItem* entry = item(index))
        entry->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

BOOL CNVCheckListBox::GetCheck(int index) const
{
    const QListWidgetItem* entry = item(index);
    return entry != nullptr && entry->checkState() == Qt::Checked ? TRUE : FALSE;
}
