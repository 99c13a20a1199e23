#include <gtest/gtest.h>

#include "platform/MessageBox.h"
#include "tests/support/TestEnvironment.h"

namespace
{

using namespace platform;

TEST(MessageBoxTest, TheDefaultWritesToStandardErrorAndAnInstalledHookGetsEveryBox)
{
    testing::internal::CaptureStderr();
    EXPECT_EQ(ShowMessageBox(nullptr, u"Port COM3 is busy", u"Tarnwick Software", MB_OK | MB_ICONERROR),
              IDOK);
    // A question is answered with what risks nothing.
    EXPECT_EQ(ShowMessageBox(nullptr, u"Überschreiben?", u"", MB_YESNO | MB_ICONQUESTION), IDNO);
    EXPECT_EQ(ShowMessageBox(nullptr, u"Continue?", u"", MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(ShowMessageBox(nullptr, u"Save first?", u"", MB_YESNOCANCEL), IDCANCEL);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "error: Tarnwick Software: Port COM3 is busy\nÜberschreiben?\nContinue?\nSave first?\n");

    {
        testsupport::ScriptedMessageBox scripted;
        scripted.QueueAnswer(IDYES);
        int owner = 0;
        EXPECT_EQ(ShowMessageBox(&owner, u"Flash firmware?", u"Update", MB_YESNO), IDYES);
        const auto shown = scripted.Shown_();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].text, u"Flash firmware?");
        EXPECT_EQ(shown[0].caption, u"Update");
        EXPECT_EQ(shown[0].flags, static_cast<uint32_t>(MB_YESNO));
        // Installing another hook hands back the scripted one.
        IMessageBoxHook* before = SetMessageBoxHook(nullptr);
        EXPECT_EQ(before, &scripted);
        EXPECT_EQ(SetMessageBoxHook(before), nullptr);
    }
    // The scripted hook put back the default.
    testing::internal::CaptureStderr();
    EXPECT_EQ(ShowMessageBox(nullptr, u"Again?", u"", MB_YESNO), IDNO);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Again?\n");
}

} // namespace
