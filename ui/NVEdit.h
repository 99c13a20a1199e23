// CNVEdit: a one-line edit with the colour scheme (ColorScheme.h) and an optional numeric mode.
//
// In integer, float or double mode every change of the text (typed or set) is filtered: what
// cannot be part of a number where it stands is removed (FilterIntegerText, FilterRealText of
// NumericText.h) and the caret goes to the end; then, when the mode's range is on, a number
// outside the range is replaced by the nearer bound at once. The control never reports an error.
//
// Dialogs that act on changes connect to TextChanged, which comes once per change after the
// filtering (QLineEdit::textChanged also comes, but before it and with the unfiltered text).
// A text set under a QSignalBlocker (how the windows fill their controls) is taken as it is: it is
// neither filtered nor signalled.
//
// Ctrl+A selects the whole text, so that what is typed next replaces it. The edit takes the key
// itself, whatever form it arrives in (the platform's select-all binding, the letter in either
// case, or only its control character U+0001, as some remote and scripted keyboards send it), and
// no shortcut of the window takes it away.
#pragma once

#include <QKeyEvent>
#include <QLineEdit>

#include "ui/ColorScheme.h"
#include "ui/NumericText.h"

class CNVEdit : public CNVColorScheme<QLineEdit>
{
    Q_OBJECT

public:
    explicit CNVEdit(QWidget* parent = nullptr);

    void SetIntegerMode(BOOL on) { m_rules.integerMode = on; }
    void SetFloatMode(BOOL on) { m_rules.floatMode = on; }
    void SetDoubleMode(BOOL on) { m_rules.doubleMode = on; }
    // Each also switches its mode's range on.
    void SetIntegerRange(int32_t min, int32_t max);
    void SetFloatRange(float min, float max);
    void SetDoubleRange(double min, double max);
    const sNumericEditRules& GetNumericRules() const { return m_rules; }

    BOOL IsEmpty() const { return text().isEmpty() ? TRUE : FALSE; }
    QString GetText() const { return text(); }

    // Whether the key asks to select all (see above).
    static bool IsSelectAllKey(const QKeyEvent& event);

signals:
    void TextChanged();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // The numeric treatment of a changed text (see above).
    virtual void OnTextChanged();
    virtual BOOL FilterIntegerText(QString& text);
    virtual BOOL FilterRealText(QString& text);
    // Replaces a number outside the range by its bound; TRUE when it did.
    virtual BOOL ValidateRange();

private:
    // The control's own rewrite of its text: no change notification, caret at the end.
    void ReplaceText(const QString& text);

    sNumericEditRules m_rules;
};
