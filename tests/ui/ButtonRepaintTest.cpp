// A button that is enabled or disabled shows its new state on screen at once, not only when
// something else repaints it: the window's own pixels (the backing store the offscreen screen
// keeps) are compared, not a fresh rendering of the button.
#include <QScreen>
#include <QTest>
#include <QVBoxLayout>
#include <QWindow>

#include <gtest/gtest.h>

#include "tests/support/QtTestSupport.h"
#include "ui/NVBitmapButtonEx.h"
#include "ui/NVButton.h"

namespace
{

// The button as the screen shows it.
QImage OnScreen(QWidget& button)
{
    QWidget& window = *button.window();
    const QPixmap shown = window.windowHandle()->screen()->grabWindow(window.winId());
    return shown.copy(QRect(button.mapTo(&window, QPoint(0, 0)), button.size())).toImage();
}

TEST(ButtonRepaint, EnablingOrDisablingAButtonChangesWhatTheScreenShows)
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* plain = new CNVButton(&window);
    plain->setText(QStringLiteral("Parameter Up"));
    auto* coloured = new CNVButton(&window);
    coloured->setText(QStringLiteral("Parameter Down"));
    coloured->SetTextColor(RGB(0, 0, 128));
    auto* tab = new CNVBitmapButtonEx(&window);
    tab->setText(QStringLiteral("Live Data"));
    tab->LoadBitmaps();
    tab->SetTextColors(RGB(255, 255, 255), RGB(255, 255, 0), RGB(0, 0, 0), RGB(128, 128, 128));
    for (QWidget* button : std::initializer_list<QWidget*>{plain, coloured, tab})
        layout->addWidget(button);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    testsupport::PumpEvents();

    for (QWidget* button : std::initializer_list<QWidget*>{plain, coloured, tab})
    {
        SCOPED_TRACE(button->metaObject()->className() +
                     (" " + button->property("text").toString().toStdString()));
        const QImage enabled = OnScreen(*button);
        button->setEnabled(false);
        testsupport::PumpEvents();
        const QImage disabled = OnScreen(*button);
        EXPECT_NE(disabled, enabled);
        button->setEnabled(true);
        testsupport::PumpEvents();
        EXPECT_EQ(OnScreen(*button), enabled);
    }
    testsupport::SavePicture(window, "ButtonRepaint.Enabled");
}

} // namespace
