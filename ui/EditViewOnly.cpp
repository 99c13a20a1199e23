#include "ui/EditViewOnly.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>

CEditViewOnly::CEditViewOnly(QWidget* parent) : CNVColorScheme<QPlainTextEdit>(parent)
{
    setReadOnly(true);
    // Without selection there is nothing to copy or drag; the keyboard still scrolls.
    setTextInteractionFlags(Qt::NoTextInteraction);
    setContextMenuPolicy(Qt::NoContextMenu);
}

void CEditViewOnly::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Copy) || event->matches(QKeySequence::Cut) ||
        event->matches(QKeySequence::SelectAll))
    {
        event->accept();
        return;
    }
    CNVColorScheme<QPlainTextEdit>::keyPressEvent(event);
}

void CEditViewOnly::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton)
    {
        event->accept();
        return;
    }
    CNVColorScheme<QPlainTextEdit>::mousePressEvent(event);
}

void CEditViewOnly::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
}
