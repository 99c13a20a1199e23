// CCalValueEdit: the edit in which the user types the value of a standard, a pressure or an
// elevation. What the user types or pastes is kept only while it is a number in the making
// (CleanNumericText); otherwise the text before the keystroke comes back with the caret where it
// stood, and ValueEdited follows in either case. Texts the page sets are taken as they are.
#pragma once

#include "ui/NVEdit.h"

class CCalValueEdit : public CNVEdit
{
    Q_OBJECT

public:
    CCalValueEdit(QWidget* parent, BOOL allowMinus, BOOL allowDecimal, UINT maxDigits);

    // Without ValueEdited; it is the text a refused keystroke brings back.
    void SetValueText(const QString& text);

signals:
    void ValueEdited();

private:
    void OnEdited(const QString& typed);

    BOOL m_bAllowMinus;
    BOOL m_bAllowDecimal;
    UINT m_nMaxDigits;
    QString m_strPrevious;
};
