// The live data page when the probe's line is lost: after "Device connection lost." the rows are
// gone and the Parameter Up/Down buttons show their disabled look on screen at once (the window's
// own pixels, not a fresh rendering), also after the box took the focus away and gave it back.
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include "tests/app/AppWindowTest.h"

namespace apptest
{
namespace
{

using Column = CCtrlPage_LiveData::EColumn;

// The button as the screen shows it.
QImage OnScreen(QWidget& button)
{
    QWidget& window = *button.window();
    const QPixmap shown = window.windowHandle()->screen()->grabWindow(window.winId());
    return shown.copy(QRect(button.mapTo(&window, QPoint(0, 0)), button.size())).toImage();
}

// Message boxes that, like real ones, take the focus into a window of their own while they are up
// and give it back when they close; they answer at once all the same.
class FocusTakingBoxes : public testsupport::ScriptedDialogs
{
public:
    int MessageBox(QWidget* owner, const QString& text, const QString& caption, uint32_t flags) override
    {
        QWidget box;
        QPushButton ok(QStringLiteral("OK"), &box);
        box.show();
        box.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&box));
        ok.setFocus();
        testsupport::PumpEvents();
        box.hide();
        if (owner != nullptr)
            owner->window()->activateWindow();
        testsupport::PumpEvents();
        return ScriptedDialogs::MessageBox(owner, text, caption, flags);
    }
};

class LiveDataLossTest : public AppWindowTest
{
};

TEST_F(LiveDataLossTest, TheMoveButtonsLookDisabledOnScreenAsSoonAsTheLineIsLost)
{
    FocusTakingBoxes boxes;
    StartProbe(18);
    CDlgFrame_TarnwickSoft& window = MainWindow();
    CCtrlPage_LiveData& page = window.LiveDataPage();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return !page.IsActivationPending(); }));
    ConnectByButton();
    ASSERT_TRUE(testsupport::WaitUntil(
        [&]
        {
            const int rows = page.List().topLevelItemCount();
            return rows > 0 && !page.CellText(rows - 1, Column::COLUMN_VALUE).isEmpty();
        }));
    // A row in the middle chosen in the focused list: both moves are open.
    window.activateWindow();
    page.List().setFocus();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return QApplication::focusWidget() == &page.List(); }));
    page.List().setCurrentItem(page.List().topLevelItem(3));
    testsupport::PumpEvents();
    ASSERT_TRUE(page.UpButton().isEnabled());
    ASSERT_TRUE(page.DownButton().isEnabled());
    const QImage upOpen = OnScreen(page.UpButton());
    const QImage downOpen = OnScreen(page.DownButton());
    testsupport::SavePicture(window, "LiveData.BeforeLoss");

    StopProbe();
    ASSERT_TRUE(testsupport::WaitUntil(
        [&]
        {
            const auto& shown = boxes.MessageBoxes();
            return std::any_of(shown.begin(), shown.end(),
                               [](const auto& box) { return box.text == "Device connection lost."; });
        }));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return page.List().topLevelItemCount() == 0; }));
    testsupport::PumpEvents();
    EXPECT_FALSE(page.UpButton().isEnabled());
    EXPECT_FALSE(page.DownButton().isEnabled());
    EXPECT_NE(OnScreen(page.UpButton()), upOpen);
    EXPECT_NE(OnScreen(page.DownButton()), downOpen);
    testsupport::SavePicture(window, "LiveData.AfterLoss");
}

} // namespace
} // namespace apptest
