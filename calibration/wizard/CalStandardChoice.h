// The profile's record of a standard the user chose in a list, with the value typed beside it for
// "User defined": kept when the page leads on, shown again when the wizard next opens.
#pragma once

#include <QComboBox>

#include "calibration/wizard/CalValueEdit.h"

struct sStandardChoiceEntries
{
    const char16_t* section;
    const char16_t* solution; // the solution id
    const char16_t* value;    // the typed value
    int32_t defaultSolution;  // also for a stored id the list does not hold
};

// Selects the stored solution (without the list's change signal) and puts the stored value into
// the edit; the page then applies its own rule for the choice.
void LoadStandardChoice(const sStandardChoiceEntries& entries, QComboBox& list, CCalValueEdit& value);
// The chosen solution, when there is one, and the value as it stands.
void SaveStandardChoice(const sStandardChoiceEntries& entries, const QComboBox& list, const QLineEdit& value);
