// CEditViewOnly: a read-only text box for a text the user may read and scroll but not copy (the
// calibration report). Its text cannot be selected, copy requests (Ctrl+C, Ctrl+Insert, copy())
// do nothing, and the right button opens no menu.
#pragma once

#include <QPlainTextEdit>

#include "ui/ColorScheme.h"

class CEditViewOnly : public CNVColorScheme<QPlainTextEdit>
{
    Q_OBJECT

public:
    explicit CEditViewOnly(QWidget* parent = nullptr);

    // Copies nothing (it hides QPlainTextEdit::copy for callers that hold the view).
    void copy() {}

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
};
