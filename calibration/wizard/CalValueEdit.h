// CCalValueEdit: the edit in which the user types the value of a standard, a pressure or an
// elevation. What the user types or pastes is kept only while it is a number in the making (by
// default CleanNumericText's rule, or the cleaning the page gives); otherwise the text before the
// keystroke comes back with the caret where it stood, and ValueEdited follows in either case.
// Texts the page sets are taken as they are.
#pragma once

#include <functional>

#include "ui/NVEdit.h"

class CCalValueEdit : public CNVEdit
{
    Q_OBJECT

public:
    // What a typed text becomes, given the text before the keystroke.
    using Cleaner = std::function<QString(const QString& previous, const QString& typed)>;

    CCalValueEdit(QWidget* parent, BOOL allowMinus, BOOL allowDecimal, UINT maxDigits);
    CCalValueEdit(QWidget* parent, Cleaner clean);

    // Without ValueEdited; it is the text a refused keystroke brings back.
    void SetValueText(const QString& text);

signals:
    void ValueEdited();

private:
    void OnEdited(const QString& typed);

    Cleaner m_clean;
    QString m_strPrevious;
};
