// Where popups and wizards come up: centred with the size they show with over their owner, and
// always within the available area of the screen.
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include "tests/support/QtTestSupport.h"
#include "ui/NVDialog.h"
#include "ui/NVDlgWizardFrame.h"

namespace
{

// A popup that gives itself its size in its own OnInitDialog, after the base has run, as every
// popup of the program does.
class SizedPopup : public CNVDialog
{
public:
    SizedPopup(QWidget* owner, QSize size) : CNVDialog(0, owner), m_size(size) {}

protected:
    BOOL OnInitDialog() override
    {
        CNVDialog::OnInitDialog();
        resize(m_size);
        return TRUE;
    }

private:
    QSize m_size;
};

// A popup whose layout decides its size.
class LaidOutPopup : public CNVDialog
{
public:
    explicit LaidOutPopup(QWidget* owner) : CNVDialog(0, owner)
    {
        auto* layout = new QVBoxLayout(this);
        auto* text = new QLabel(QStringLiteral("Firmware image"), this);
        text->setMinimumSize(320, 180);
        layout->addWidget(text);
        layout->addWidget(new QPushButton(QStringLiteral("OK"), this));
    }
};

QRect Available()
{
    return QGuiApplication::primaryScreen()->availableGeometry();
}

class PopupPlacement : public testing::Test
{
protected:
    void SetUp() override
    {
        owner.Create(nullptr);
        owner.SetCenterOnParent(FALSE);
        owner.setGeometry(Available().left() + 40, Available().top() + 30, 400, 300);
        owner.show();
    }

    CNVDialog owner;
};

TEST_F(PopupPlacement, PopupsOfDifferentSizesAreCentredWithTheSizeTheyShowWith)
{
    const QPoint centre = owner.geometry().center();
    for (const QSize size : {QSize(200, 120), QSize(300, 260), QSize(360, 90)})
    {
        SizedPopup popup(&owner, size);
        QRect shown;
        testsupport::RunModal(popup,
                              [&]
                              {
                                  shown = popup.geometry();
                                  popup.reject();
                              });
        EXPECT_EQ(shown.size(), size);
        EXPECT_LE((shown.center() - centre).manhattanLength(), 2)
            << "popup " << size.width() << "x" << size.height() << " at " << shown.x() << "," << shown.y();
    }

    LaidOutPopup laidOut(&owner);
    QRect shown;
    testsupport::RunModal(laidOut,
                          [&]
                          {
                              shown = laidOut.geometry();
                              laidOut.reject();
                          });
    EXPECT_GE(shown.width(), 320);
    EXPECT_LE((shown.center() - centre).manhattanLength(), 2)
        << shown.x() << "," << shown.y() << " " << shown.width() << "x" << shown.height() << " centre "
        << centre.x() << "," << centre.y();
}

TEST_F(PopupPlacement, APopupLargerThanTheRoomBesideItsOwnerStaysOnTheScreen)
{
    const QRect available = Available();
    owner.setGeometry(available.right() - 150, available.bottom() - 120, 200, 160);
    SizedPopup popup(&owner,
                     QSize(std::min(700, available.width() - 20), std::min(620, available.height() - 20)));
    QRect shown;
    testsupport::RunModal(popup,
                          [&]
                          {
                              shown = popup.frameGeometry();
                              popup.reject();
                          });
    // The window with the window system's frame around it.
    EXPECT_TRUE(available.contains(shown))
        << shown.x() << "," << shown.y() << " " << shown.width() << "x" << shown.height();

    // One larger than the screen keeps its top-left corner on it.
    SizedPopup huge(&owner, available.size() + QSize(200, 200));
    testsupport::RunModal(huge,
                          [&]
                          {
                              shown = huge.frameGeometry();
                              huge.reject();
                          });
    EXPECT_EQ(shown.topLeft(), available.topLeft());
}

TEST_F(PopupPlacement, APopupThatPlacesItselfIsOnlyKeptOnTheScreen)
{
    SizedPopup popup(&owner, QSize(200, 100));
    popup.SetCenterOnParent(FALSE);
    popup.Create(nullptr);
    popup.move(Available().left() + 5, Available().top() + 7);
    popup.show();
    EXPECT_EQ(popup.pos(), Available().topLeft() + QPoint(5, 7));
    popup.hide();

    // A window placed off every screen comes back onto one.
    CNVDialog lost;
    lost.Create(nullptr);
    lost.resize(300, 200);
    lost.move(100000, -49998);
    lost.show();
    EXPECT_TRUE(Available().contains(lost.frameGeometry()));
}

// A wizard's frame takes its size from its pages; it too is centred with it.
TEST_F(PopupPlacement, AWizardIsCentredWithTheSizeOfItsPages)
{
    CNVDlgWizardFrame frame(IDD_WIZARD_FRAME, &owner);
    CDlgWizardPage page;
    page.resize(340, 200);
    frame.AddPage(&page);
    QRect shown;
    testsupport::RunModal(frame,
                          [&]
                          {
                              shown = frame.geometry();
                              frame.reject();
                          });
    EXPECT_EQ(shown.size(), QSize(340, 200 + CNVDialog::kButtonBarHeight));
    EXPECT_LE((shown.center() - owner.geometry().center()).manhattanLength(), 2);
}

} // namespace
