// Ctrl+A in the dialog library's edit: the whole text is selected, so that what is typed next
// replaces it, whatever form the key arrives in and whatever shortcut the window has.
#include <QShortcut>
#include <QTest>

#include <gtest/gtest.h>

#include "tests/support/QtTestSupport.h"
#include "ui/NVDialog.h"
#include "ui/NVEdit.h"

namespace
{

struct KeyForm
{
    const char* name;
    int key;
    QString text;
    Qt::KeyboardModifiers modifiers;
};

// Ctrl+A as the platform gives it, with the letter in lower case (a remote keyboard's keysym), and
// as its control character alone (a scripted keyboard's).
const KeyForm kForms[] = {
    {"platform", Qt::Key_A, QString(QChar(0x01)), Qt::ControlModifier},
    {"lower case", 'a', QStringLiteral("a"), Qt::ControlModifier},
    {"control character", Qt::Key_unknown, QString(QChar(0x01)), Qt::NoModifier},
};

TEST(EditSelectAll, CtrlASelectsTheWholeTextAndTypingReplacesIt)
{
    CNVDialog dialog;
    CNVEdit plain(&dialog);
    CNVEdit real(&dialog);
    real.SetFloatMode(TRUE);
    dialog.Create(nullptr);
    for (CNVEdit* edit : {&plain, &real})
    {
        for (const KeyForm& form : kForms)
        {
            SCOPED_TRACE(std::string(form.name) + (edit == &real ? " in float mode" : ""));
            edit->setText(QStringLiteral("-9999"));
            edit->deselect();
            edit->setCursorPosition(5);
            QTest::sendKeyEvent(QTest::Press, edit, static_cast<Qt::Key>(form.key), form.text,
                                form.modifiers);
            QTest::sendKeyEvent(QTest::Release, edit, static_cast<Qt::Key>(form.key), form.text,
                                form.modifiers);
            EXPECT_EQ(edit->selectedText(), QStringLiteral("-9999"));
            QTest::keyClicks(edit, "1.5");
            EXPECT_EQ(edit->text(), QStringLiteral("1.5"));
        }
    }
    // Ctrl with another letter, or Ctrl+Alt+A, is no select-all.
    plain.setText(QStringLiteral("12"));
    plain.deselect();
    QTest::keyClick(&plain, Qt::Key_B, Qt::ControlModifier);
    QTest::keyClick(&plain, Qt::Key_A, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_FALSE(plain.hasSelectedText());
}

TEST(EditSelectAll, AWindowShortcutOnCtrlADoesNotTakeTheKeyFromTheEdit)
{
    CNVDialog dialog;
    CNVEdit edit(&dialog);
    dialog.Create(nullptr);
    int fired = 0;
    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_A), &dialog);
    QObject::connect(shortcut, &QShortcut::activated, [&] { ++fired; });
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    edit.setFocus();
    edit.setText(QStringLiteral("42"));
    edit.deselect();
    QTest::keyClick(dialog.windowHandle(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(edit.selectedText(), QStringLiteral("42"));
    EXPECT_EQ(fired, 0);
}

} // namespace
