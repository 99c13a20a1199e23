// The wizard frame and its pages: navigation over skipped pages, vetoes, Finish and Cancel asking
// the pages, the shortcuts, activation, and the frame's look with its button bar.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include "tests/support/QtTestSupport.h"
#include "ui/NVDlgWizardFrame.h"

namespace
{

std::string Direction(UINT direction)
{
    return direction == IDC_WIZARD_NEXT ? "next" : direction == IDC_WIZARD_BACK ? "back" : "?";
}

// A page that records what the frame asks it and answers as told.
class TestPage : public CDlgWizardPage
{
public:
    TestPage(std::string name, std::vector<std::string>& log, QSize size = QSize(320, 180))
        : m_name(std::move(name)), m_log(log), edit(this)
    {
        resize(size);
        edit.setGeometry(20, 20, 160, 24);
    }

    BOOL killActive = TRUE;
    BOOL wizardNext = TRUE;
    BOOL wizardBack = TRUE;
    BOOL queryCancel = TRUE;
    BOOL wizardFinish = TRUE;
    // Runs inside every hook, after it has been logged (named as in the log: "next", "finish", ...).
    std::function<void(const std::string&)> during;

    BOOL OnSetActive(UINT direction) override { return Record("set-active " + Direction(direction), TRUE); }
    BOOL OnKillActive(UINT direction) override
    {
        return Record("kill-active " + Direction(direction), killActive);
    }
    BOOL OnWizardNext() override { return Record("next", wizardNext); }
    BOOL OnWizardBack() override { return Record("back", wizardBack); }
    BOOL OnQueryCancel() override { return Record("query-cancel", queryCancel); }
    BOOL OnWizardFinish() override { return Record("finish", wizardFinish); }

private:
    BOOL Record(const std::string& what, BOOL answer)
    {
        m_log.push_back(m_name + " " + what);
        if (const auto hook = during)
            hook(what);
        return answer;
    }

    std::string m_name;
    std::vector<std::string>& m_log;

public:
    QLineEdit edit;
};

struct Buttons
{
    bool back;
    bool next;
    bool finish;
    friend bool operator==(const Buttons&, const Buttons&) = default;
};

std::ostream& operator<<(std::ostream& out, const Buttons& b)
{
    return out << "{back " << b.back << ", next " << b.next << ", finish " << b.finish << "}";
}

class WizardFrameTest : public testing::Test
{
protected:
    void AddThreePages()
    {
        for (TestPage* page : {&first, &second, &third})
            ASSERT_TRUE(frame.AddPage(page));
    }
    Buttons Enabled()
    {
        return {frame.GetBackButton().isEnabled(), frame.GetNextButton().isEnabled(),
                frame.GetFinishButton().isEnabled()};
    }
    std::vector<std::string> TakeLog() { return std::exchange(log, {}); }

    std::vector<std::string> log;
    CNVDlgWizardFrame frame;
    TestPage first{"first", log, QSize(320, 180)};
    TestPage second{"second", log, QSize(360, 150)};
    TestPage third{"third", log, QSize(300, 200)};
};

TEST_F(WizardFrameTest, NextAndBackPassOverASkippedPageAndFinishWaitsForTheLast)
{
    AddThreePages();
    second.SetSkip(TRUE);
    frame.Create(nullptr);
    EXPECT_EQ(frame.GetCurrentPage(), &first);
    EXPECT_EQ(TakeLog(), std::vector<std::string>{"first set-active next"});
    EXPECT_EQ(Enabled(), (Buttons{false, true, false}));
    // The frame holds the largest page above the button bar.
    EXPECT_EQ(frame.size(), QSize(360, 200 + CNVDialog::kButtonBarHeight));
    EXPECT_EQ(first.GetOwnerFrame(), &frame);
    EXPECT_EQ(first.pos(), QPoint(0, 0));

    frame.SendCommand(IDC_WIZARD_NEXT);
    EXPECT_EQ(frame.GetCurrentPage(), &third);
    EXPECT_EQ(TakeLog(),
              (std::vector<std::string>{"first next", "first kill-active next", "third set-active next"}));
    EXPECT_TRUE(third.isVisibleTo(&frame));
    EXPECT_FALSE(first.isVisibleTo(&frame));
    EXPECT_EQ(Enabled(), (Buttons{true, false, true}));

    frame.SendCommand(IDC_WIZARD_BACK);
    EXPECT_EQ(frame.GetCurrentPage(), &first);
    EXPECT_EQ(TakeLog(),
              (std::vector<std::string>{"third back", "third kill-active back", "first set-active back"}));
    EXPECT_EQ(Enabled(), (Buttons{false, true, false}));
}

TEST_F(WizardFrameTest, AWizardOfOnePageCanOnlyFinish)
{
    ASSERT_TRUE(frame.AddPage(&first));
    EXPECT_FALSE(frame.AddPage(nullptr));
    frame.Create(nullptr);
    EXPECT_EQ(Enabled(), (Buttons{false, false, true}));
    frame.SendCommand(IDC_WIZARD_NEXT);
    frame.SendCommand(IDC_WIZARD_BACK);
    EXPECT_EQ(frame.GetCurrentPage(), &first);
}

TEST_F(WizardFrameTest, AVetoKeepsTheWizardOnItsPage)
{
    AddThreePages();
    frame.Create(nullptr);
    TakeLog();
    first.killActive = FALSE;
    frame.SendCommand(IDC_WIZARD_NEXT);
    EXPECT_EQ(frame.GetCurrentPage(), &first);
    EXPECT_EQ(TakeLog(), (std::vector<std::string>{"first next", "first kill-active next"}));

    first.killActive = TRUE;
    first.wizardNext = FALSE;
    frame.SendCommand(IDC_WIZARD_NEXT);
    EXPECT_EQ(frame.GetCurrentPage(), &first);
    EXPECT_EQ(TakeLog(), std::vector<std::string>{"first next"}) << "a vetoed Next does not ask to leave";

    first.wizardNext = TRUE;
    frame.SendCommand(IDC_WIZARD_NEXT);
    second.wizardBack = FALSE;
    frame.SendCommand(IDC_WIZARD_BACK);
    EXPECT_EQ(frame.GetCurrentPage(), &second);
}

TEST_F(WizardFrameTest, ARefusingPageIsShownAndAgreeingPagesEndTheWizard)
{
    AddThreePages();
    second.SetSkip(TRUE);
    frame.Create(nullptr);
    frame.show();
    frame.SendCommand(IDC_WIZARD_NEXT);
    TakeLog();
    first.wizardFinish = FALSE;
    frame.SendCommand(IDOK);
    EXPECT_EQ(frame.GetCurrentPage(), &first);
    EXPECT_EQ(TakeLog(),
              (std::vector<std::string>{"first finish", "third kill-active back", "first set-active back"}));
    EXPECT_TRUE(frame.isVisible());

    first.wizardFinish = TRUE;
    frame.SendCommand(IDC_WIZARD_NEXT);
    TakeLog();
    frame.SendCommand(IDOK);
    // Every page that is not skipped agrees, in list order; then the wizard ends.
    EXPECT_EQ(TakeLog(), (std::vector<std::string>{"first finish", "third finish"}));
    EXPECT_FALSE(frame.isVisible());
    EXPECT_EQ(frame.result(), IDOK);
    EXPECT_EQ(frame.GetPageCount(), 0);
    EXPECT_EQ(frame.GetCurrentPage(), nullptr);
    // The pages' windows are closed afterwards.
    EXPECT_TRUE(testsupport::WaitUntil([&] { return !third.isVisibleTo(&frame); }));
}

TEST_F(WizardFrameTest, CancelAndTheCloseBoxAskThePagesFirst)
{
    AddThreePages();
    second.SetSkip(TRUE);
    frame.Create(nullptr);
    frame.show();
    TakeLog();
    third.queryCancel = FALSE;
    frame.SendCommand(IDCANCEL);
    EXPECT_EQ(frame.GetCurrentPage(), &third);
    EXPECT_EQ(TakeLog(), (std::vector<std::string>{"first query-cancel", "third query-cancel",
                                                   "first kill-active back", "third set-active back"}));
    EXPECT_TRUE(frame.isVisible());

    // The close box asks the same, even while Cancel is disabled.
    third.queryCancel = TRUE;
    frame.GetCancelButton().Disable();
    frame.close();
    EXPECT_EQ(TakeLog(), (std::vector<std::string>{"first query-cancel", "third query-cancel"}));
    EXPECT_FALSE(frame.isVisible());
    EXPECT_EQ(frame.result(), IDCANCEL);
}

TEST_F(WizardFrameTest, APageEndsTheWizardAfterAnErrorWithoutAskingThePages)
{
    AddThreePages();
    frame.Create(nullptr);
    frame.show();
    TakeLog();
    first.queryCancel = FALSE;
    first.GetOwnerFrame()->OnCancel();
    EXPECT_TRUE(TakeLog().empty());
    EXPECT_FALSE(frame.isVisible());
    EXPECT_EQ(frame.result(), IDCANCEL);
    EXPECT_EQ(frame.GetPageCount(), 0);
}

TEST_F(WizardFrameTest, APageThatEndsTheWizardWhileItIsLeftIsTouchedNoMore)
{
    AddThreePages();
    frame.Create(nullptr);
    frame.show();
    TakeLog();
    // As a calibration page does after an error: it ends the wizard while it is asked to go.
    first.during = [&](const std::string& what)
    {
        if (what == "kill-active next")
            first.GetOwnerFrame()->OnCancel();
    };
    frame.SendCommand(IDC_WIZARD_NEXT);
    EXPECT_EQ(TakeLog(), (std::vector<std::string>{"first next", "first kill-active next"}));
    EXPECT_EQ(frame.result(), IDCANCEL);
    EXPECT_FALSE(frame.isVisible());
    EXPECT_EQ(frame.GetCurrentPage(), nullptr);
    EXPECT_FALSE(second.isVisibleTo(&frame)) << "the next page is never shown";
}

TEST_F(WizardFrameTest, APageThatEndsTheWizardWhileFinishAsksItKeepsItsCancel)
{
    AddThreePages();
    frame.Create(nullptr);
    frame.show();
    frame.SendCommand(IDC_WIZARD_NEXT);
    frame.SendCommand(IDC_WIZARD_NEXT);
    TakeLog();
    first.during = [&](const std::string& what)
    {
        if (what == "finish")
            first.GetOwnerFrame()->OnCancel();
    };
    frame.SendCommand(IDOK);
    EXPECT_EQ(TakeLog(), std::vector<std::string>{"first finish"}) << "no other page is asked";
    EXPECT_EQ(frame.result(), IDCANCEL) << "the Finish that asked does not go on to OK";

    // The same for Cancel.
    CNVDlgWizardFrame other;
    std::vector<std::string> otherLog;
    TestPage only("only", otherLog);
    only.during = [&](const std::string& what)
    {
        if (what == "query-cancel")
            only.GetOwnerFrame()->OnOK();
    };
    other.AddPage(&only);
    other.Create(nullptr);
    other.show();
    other.SendCommand(IDCANCEL);
    EXPECT_EQ(other.result(), IDOK);
    EXPECT_EQ(otherLog, (std::vector<std::string>{"only set-active next", "only query-cancel"}));
}

TEST(WizardFrameLifetime, AFrameDestroyedByAPageHandlerIsNotTouchedAfterwards)
{
    std::vector<std::string> log;
    TestPage first("first", log);
    TestPage second("second", log);
    auto frame = std::make_unique<CNVDlgWizardFrame>();
    frame->AddPage(&first);
    frame->AddPage(&second);
    frame->Create(nullptr);
    first.during = [&](const std::string& what)
    {
        if (what == "kill-active next")
            frame.reset();
    };
    frame->SendCommand(IDC_WIZARD_NEXT); // the sanitizer reports any later touch of the frame
    EXPECT_EQ(frame, nullptr);
    EXPECT_FALSE(second.isVisible());

    // The same while the frame asks its pages to finish.
    TestPage last("last", log);
    frame = std::make_unique<CNVDlgWizardFrame>();
    frame->AddPage(&last);
    frame->Create(nullptr);
    last.during = [&](const std::string& what)
    {
        if (what == "finish")
            frame.reset();
    };
    frame->SendCommand(IDOK);
    EXPECT_EQ(frame, nullptr);
}

TEST_F(WizardFrameTest, ShortcutsPressOnlyEnabledButtons)
{
    AddThreePages();
    second.SetSkip(TRUE);
    frame.Create(nullptr);
    ASSERT_TRUE(testsupport::ShowAndActivate(frame));
    EXPECT_EQ(first.edit.hasFocus(), true) << "the page has the focus";

    QTest::keyClick(&first.edit, Qt::Key_Right, Qt::AltModifier);
    EXPECT_EQ(frame.GetCurrentPage(), &third);
    QTest::keyClick(&third.edit, Qt::Key_Right, Qt::AltModifier);
    EXPECT_EQ(frame.GetCurrentPage(), &third) << "Next is disabled on the last page";
    QTest::keyClick(&third.edit, Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(frame.GetCurrentPage(), &first);
    TakeLog();
    QTest::keyClick(&first.edit, Qt::Key_Return, Qt::AltModifier);
    EXPECT_TRUE(TakeLog().empty()) << "Finish is disabled before the last page";

    frame.GetCancelButton().Disable();
    QTest::keyClick(&first.edit, Qt::Key_Escape);
    EXPECT_TRUE(TakeLog().empty());
    EXPECT_TRUE(frame.isVisible());
    frame.GetCancelButton().Enable();
    first.queryCancel = FALSE;
    QTest::keyClick(&first.edit, Qt::Key_Escape);
    EXPECT_EQ(TakeLog(), std::vector<std::string>{"first query-cancel"});
    EXPECT_TRUE(frame.isVisible());

    QTest::keyClick(&first.edit, Qt::Key_Right, Qt::AltModifier);
    QTest::keyClick(&third.edit, Qt::Key_Enter, Qt::AltModifier);
    EXPECT_FALSE(frame.isVisible());
    EXPECT_EQ(frame.result(), IDOK);
}

TEST_F(WizardFrameTest, WithTheWrapFlagFinishActsAsNext)
{
    AddThreePages();
    frame.Create(nullptr);
    frame.show();
    frame.SetWrap(TRUE);
    frame.GetFinishButton().Enable();
    frame.SendCommand(IDOK);
    EXPECT_EQ(frame.GetCurrentPage(), &second);
    EXPECT_TRUE(frame.isVisible());
    frame.RemoveAllPages();
    EXPECT_FALSE(frame.GetWrap());
}

TEST_F(WizardFrameTest, ASkippedCurrentPageIsLeftWhenTheFrameBecomesActive)
{
    AddThreePages();
    frame.Create(nullptr);
    frame.SendCommand(IDC_WIZARD_NEXT);
    second.SetSkip(TRUE);
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(&frame, &activate);
    EXPECT_EQ(frame.GetCurrentPage(), &third);
    QCoreApplication::sendEvent(&frame, &activate);
    EXPECT_EQ(frame.GetCurrentPage(), &third);
}

TEST_F(WizardFrameTest, PagesSetTheButtonsThroughTheirFrame)
{
    // Before the frame's window exists the helpers do nothing.
    first.DisableFinishButton();
    first.EnableBackButton();
    AddThreePages();
    frame.Create(nullptr);
    first.EnableBackButton();
    EXPECT_FALSE(frame.GetBackButton().isEnabled()) << "there is nothing before the first page";
    first.DisableNextButton();
    EXPECT_FALSE(frame.GetNextButton().isEnabled());
    frame.EnableNextButton();
    EXPECT_TRUE(frame.GetNextButton().isEnabled());
    first.EnableFinishButton();
    EXPECT_TRUE(frame.GetFinishButton().isEnabled());
    frame.SendCommand(IDC_WIZARD_NEXT);
    frame.GetBackButton().Disable();
    second.EnableBackButton();
    EXPECT_TRUE(frame.GetBackButton().isEnabled());
    frame.SendCommand(IDC_WIZARD_NEXT);
    frame.GetNextButton().Disable();
    frame.EnableNextButton();
    EXPECT_FALSE(frame.GetNextButton().isEnabled()) << "the last page has no next";
}

TEST_F(WizardFrameTest, PagesAddedToALiveFrameAreCreatedAndLaidOutAtOnce)
{
    frame.Create(nullptr);
    EXPECT_EQ(frame.GetCurrentPage(), nullptr);
    ASSERT_TRUE(frame.AddPage(&first));
    EXPECT_EQ(frame.GetCurrentPage(), &first);
    EXPECT_TRUE(first.HasWindow());
    EXPECT_EQ(Enabled(), (Buttons{false, false, true}));
    ASSERT_TRUE(frame.AddPage(&third));
    EXPECT_EQ(Enabled(), (Buttons{false, true, false}));
    EXPECT_EQ(frame.size(), QSize(320, 200 + CNVDialog::kButtonBarHeight));
}

TEST_F(WizardFrameTest, ARunOfTheWizardEndsWithTheButtonThatEndedIt)
{
    AddThreePages();
    const int result = testsupport::RunModal(frame,
                                             [&]
                                             {
                                                 QTest::mouseClick(&frame.GetNextButton(), Qt::LeftButton);
                                                 QTest::mouseClick(&frame.GetNextButton(), Qt::LeftButton);
                                                 QTest::mouseClick(&frame.GetFinishButton(), Qt::LeftButton);
                                             });
    EXPECT_EQ(result, IDOK);
    EXPECT_FALSE(frame.HasWindow());
    EXPECT_FALSE(third.HasWindow());
    // A frame whose window is gone gets no worker messages.
    frame.PostNotify(windowmsg::WM_NEW_DATA);
    testsupport::PumpEvents();
}

// A page as the calibration pages look: labels and a value on the skin colour.
class PicturePage : public CDlgWizardPage
{
public:
    PicturePage() : title(this), prompt(this), value(this)
    {
        resize(480, 280);
        title.setText(QStringLiteral("Calibrate the sensor"));
        QFont bold = title.font();
        bold.setBold(true);
        bold.setPointSize(12);
        title.setFont(bold);
        title.setGeometry(20, 16, 440, 26);
        prompt.setText(
            QStringLiteral("Place the probe in the standard and wait until the reading is stable."));
        prompt.setWordWrap(true);
        prompt.setGeometry(20, 56, 440, 40);
        value.setText(QStringLiteral("1413"));
        value.setGeometry(20, 110, 120, 24);
    }
    QLabel title;
    QLabel prompt;
    QLineEdit value;
};

TEST(WizardFramePicture, TheFrameShowsItsPageAboveTheButtonBar)
{
    CNVDlgWizardFrame frame;
    PicturePage page;
    frame.AddPage(&page);
    frame.Create(nullptr);
    frame.setWindowTitle(QStringLiteral("Conductivity Calibration"));
    frame.SetBackgroundColor(0xD6CEBB);
    page.SetBackgroundColor(0xD6CEBB);
    frame.show();
    const int barTop = frame.height() - CNVDialog::kButtonBarHeight;
    EXPECT_EQ(barTop, page.height());
    int previousRight = frame.width() + 1;
    for (CNVButton* button :
         {&frame.GetFinishButton(), &frame.GetNextButton(), &frame.GetBackButton(), &frame.GetCancelButton()})
    {
        EXPECT_GE(button->y(), barTop) << button->text().toStdString();
        EXPECT_LE(button->geometry().bottom(), frame.height());
        EXPECT_LT(button->geometry().right(), previousRight)
            << "from right to left: Finish, Next, Back, Cancel";
        previousRight = button->x();
        EXPECT_FALSE(button->toolTip().isEmpty());
    }
    EXPECT_GE(frame.GetCancelButton().x(), 0);
    const QImage shot = frame.grab().toImage();
    EXPECT_EQ(shot.pixelColor(5, barTop + 5), QColor(0xBB, 0xCE, 0xD6)) << "the bar shows the frame's colour";
    EXPECT_EQ(shot.pixelColor(470, 200), QColor(0xBB, 0xCE, 0xD6)) << "the page shows its colour";
    testsupport::SavePicture(frame);
}

} // namespace
