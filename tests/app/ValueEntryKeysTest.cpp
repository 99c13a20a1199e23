// The value entry popup ("Enter Sentinel Value") as a keyboard user meets it: Ctrl+A, then the
// number, enters that number, not the old text with the number appended.
#include <QTest>

#include "app/popups/DlgPopupEditValue.h"
#include "tests/app/AppWindowTest.h"

namespace apptest
{
namespace
{

class ValueEntryKeysTest : public AppWindowTest
{
};

TEST_F(ValueEntryKeysTest, CtrlAThenANumberEntersThatNumber)
{
    // The letter in lower case, as a remote keyboard sends it, and the platform's form.
    for (const int key : {int{'a'}, int{Qt::Key_A}})
    {
        SCOPED_TRACE(key);
        CDlgPopup_EditValue popup;
        popup.m_strTitle = QStringLiteral("Enter Sentinel Value");
        popup.m_fValue = -9999.0f;
        const int result =
            testsupport::RunModal(popup,
                                  [&]
                                  {
                                      CNVEdit& edit = popup.Edit();
                                      // A click at the end of the text: the selection the popup opened with
                                      // is gone.
                                      edit.deselect();
                                      edit.setCursorPosition(static_cast<int>(edit.text().size()));
                                      QTest::sendKeyEvent(QTest::Click, &edit, static_cast<Qt::Key>(key),
                                                          QStringLiteral("a"), Qt::ControlModifier);
                                      QTest::keyClicks(&edit, "1.5");
                                      EXPECT_EQ(edit.text(), QStringLiteral("1.5"));
                                      popup.OkButton().click();
                                  });
        EXPECT_EQ(result, IDOK);
        EXPECT_EQ(popup.m_fValue, 1.5f);
    }
}

} // namespace
} // namespace apptest
