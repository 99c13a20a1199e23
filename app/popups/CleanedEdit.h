// The change handler of an edit whose text is cleaned as it is typed (numbers, a single address
// character): the cleaning rule gets the text before the change and the typed one and returns what
// the edit keeps. A refused change puts the kept text back without a further change notice, with
// the caret where the refused character would have gone, and the edit keeps the focus.
#pragma once

#include <functional>

#include <QLineEdit>
#include <QString>

#include "foundation/WideString.h"

using TextCleaner = std::function<CWideString(const CWideString& previous, const CWideString& typed)>;

class CCleanedEdit
{
public:
    // Call when the edit's text changed; returns the kept text, which is also the previous text of
    // the next change.
    QString OnChanged(QLineEdit& edit, const TextCleaner& clean);
    // The text the window put into the edit itself (shown without a change notice).
    void SetPrevious(const QString& text) { m_previous = text; }
    const QString& Previous() const { return m_previous; }

private:
    QString m_previous;
};
