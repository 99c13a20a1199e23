#include "calibration/wizard/CalStandardChoice.h"

#include <QSignalBlocker>

#include "calibration/wizard/DlgWizPageCal.h"
#include "connection/AppProfile.h"
#include "platform/SettingsStore.h"
#include "ui/QtText.h"

void LoadStandardChoice(const sStandardChoiceEntries& entries, QComboBox& list, CCalValueEdit& value)
{
    const int32_t id = GetProfileInt(entries.section, entries.solution, entries.defaultSolution);
    const CWideString text = GetProfileString(entries.section, entries.value, u"");
    value.SetValueText(ui::ToQString(static_cast<const char16_t*>(text)));
    const QSignalBlocker block(list);
    int index = list.findData(id);
    if (index < 0)
        index = list.findData(entries.defaultSolution);
    list.setCurrentIndex(index);
}

void SaveStandardChoice(const sStandardChoiceEntries& entries, const QComboBox& list, const QLineEdit& value)
{
    const platform::settings::CChangeScope change;
    if (const int32_t id = SelectedSolution(list); id >= 0)
        WriteProfileInt(entries.section, entries.solution, id);
    const std::u16string text = ui::ToU16String(value.text());
    WriteProfileString(entries.section, entries.value, text.c_str());
}
