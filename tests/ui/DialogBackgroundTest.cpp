// The skinned background of the dialogs (colour and stretched picture behind transparent controls),
// the anchors of a live dialog, the button bar, and what a close does to the skin.
#include <filesystem>
#include <fstream>
#include <string>

#include <QDialog>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

#include <gtest/gtest.h>

#include "tests/support/QtTestSupport.h"
#include "tests/support/TestEnvironment.h"
#include "ui/NVDialog.h"
#include "ui/NVStatic.h"
#include "ui/QtText.h"
#include "ui/SkinPictures.h"

namespace
{

constexpr COLORREF kSkinColour = 0xD6CEBB;
constexpr UINT kLabelId = 1309;
const QColor kPictureRed(200, 30, 40);

// A picture whose left half is opaque red and whose right half is fully transparent, so that a
// grab shows the picture on the left and the dialog's colour beneath it on the right.
std::string HalfRedPicture(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 2, height, kPictureRed);
    painter.end();
    const auto file = testsupport::ProcessTempDir() / ("half-red-" + std::to_string(width) + ".png");
    image.save(QString::fromStdString(file.string()));
    return file.string();
}

class SkinnedPage : public CNVDialog
{
public:
    SkinnedPage() : label(this)
    {
        SetDlgCtrlID(&label, kLabelId);
        label.setText(QStringLiteral("Transparent label over the skin"));
        label.setAlignment(Qt::AlignCenter);
        label.SetTextColor(RGB(0, 0, 0x80));
        label.SetBackColor(RGB(255, 255, 255));
    }
    CNVStatic label;
};

TEST(DialogBackground, TheSkinColourAndTheStretchedPictureShowThroughATransparentLabel)
{
    SkinnedPage page;
    page.Create(nullptr);
    page.SetWindowSize(320, 200);
    page.label.setGeometry(10, 80, 300, 40);
    ASSERT_TRUE(page.SetBackgroundColor(kSkinColour));
    ASSERT_TRUE(page.SetBackgroundBitmapFile(QString::fromStdString(HalfRedPicture(64, 8))));
    page.AddTransparentControl(kLabelId);
    const QColor skin = ui::ToQColor(kSkinColour);
    // A picture of the dialog shows its skin before the dialog is shown.
    EXPECT_EQ(page.grab().toImage().pixelColor(305, 180), skin);
    page.show();

    QImage shot = page.grab().toImage();
    // Beneath the label (at its ends, away from the text): the picture left, the colour right.
    EXPECT_EQ(shot.pixelColor(14, 100), kPictureRed);
    EXPECT_EQ(shot.pixelColor(305, 100), skin);
    // Outside it the same: the label's white back colour is not painted.
    EXPECT_EQ(shot.pixelColor(14, 20), kPictureRed);
    EXPECT_EQ(shot.pixelColor(305, 180), skin);
    testsupport::SavePicture(page);

    // The picture stretches with the dialog.
    page.SetWindowSize(480, 300);
    page.label.setGeometry(10, 130, 460, 40);
    shot = page.grab().toImage();
    EXPECT_EQ(shot.pixelColor(200, 133), kPictureRed);
    EXPECT_EQ(shot.pixelColor(280, 133), skin);
    testsupport::SavePicture(page, "DialogBackground.Resized");

    // Without the mark the label paints its back colour.
    ui::SetTransparent(&page.label, false);
    EXPECT_EQ(page.grab().toImage().pixelColor(14, 150), QColor(Qt::white));
}

TEST(DialogBackground, ADialogWithoutSkinPaintsAsQtDoes)
{
    CNVDialog plain;
    plain.Create(nullptr);
    plain.SetWindowSize(120, 80);
    QDialog reference;
    reference.resize(120, 80);
    plain.show();
    reference.show();
    EXPECT_FALSE(plain.IsSkinned());
    EXPECT_EQ(plain.grab().toImage(), reference.grab().toImage());
}

TEST(DialogBackground, APictureThatCannotBeLoadedChangesNothing)
{
    CNVDialog dialog;
    dialog.Create(nullptr);
    const QString picture = QString::fromStdString(HalfRedPicture(64, 32));
    ASSERT_TRUE(dialog.SetBackgroundBitmapFile(picture));
    const auto notAPicture = testsupport::ProcessTempDir() / "not-a-picture.bmp";
    std::ofstream(notAPicture, std::ios::binary | std::ios::trunc) << "BM this is text, not a bitmap\n";
    for (const QString& bad :
         {QString(), QStringLiteral("/nonexistent/back.bmp"), QString::fromStdString(notAPicture.string()),
          QString::fromStdString(testsupport::ProcessTempDir().string())})
        EXPECT_FALSE(dialog.SetBackgroundBitmapFile(bad)) << bad.toStdString();
    EXPECT_EQ(dialog.GetBackgroundBitmapPath(), picture);
    ASSERT_TRUE(dialog.SizeToBackgroundBitmap());
    EXPECT_EQ(dialog.size(), QSize(64, 32));
    dialog.SetWindowSize(100, 100);
    ASSERT_TRUE(dialog.SizeHeightToBitmap());
    EXPECT_EQ(dialog.size(), QSize(100, 32));

    CNVDialog withoutPicture;
    withoutPicture.Create(nullptr);
    EXPECT_FALSE(withoutPicture.SizeToBackgroundBitmap());
}

TEST(DialogBackground, AHugePictureIsHeldWithinTheBoundAndDecodedOnce)
{
    const QString picture = QString::fromStdString(HalfRedPicture(6000, 1500));
    SkinnedPage page;
    page.Create(nullptr);
    page.SetBackgroundColor(kSkinColour);
    ASSERT_TRUE(page.SetBackgroundBitmapFile(picture));
    EXPECT_EQ(page.GetBackgroundBitmapSize(), QSize(2048, 512)) << "scaled down, its shape kept";
    page.SetWindowSize(320, 200);
    page.show();
    const QImage shot = page.grab().toImage();
    EXPECT_EQ(shot.pixelColor(20, 20), kPictureRed);
    EXPECT_EQ(shot.pixelColor(300, 20), QColor(0xBB, 0xCE, 0xD6)) << "the dialog's colour beneath";

    // Every later window with the same picture shares the one decoded for the first.
    EXPECT_EQ(ui::LoadSkinPicture(picture, ui::kMaxBackgroundPictureSize).cacheKey(),
              ui::LoadSkinPicture(picture, ui::kMaxBackgroundPictureSize).cacheKey());
}

TEST(DialogBackground, AnchoredControlsFollowTheEdgesOfTheResizedDialog)
{
    CNVDialog dialog;
    QPushButton corner(&dialog);
    QLineEdit across(&dialog);
    QPushButton free(&dialog);
    dialog.Create(nullptr);
    dialog.SetWindowSize(400, 300);
    corner.setGeometry(290, 265, 100, 25);
    across.setGeometry(10, 10, 380, 20);
    free.setGeometry(50, 50, 40, 20);
    ASSERT_TRUE(dialog.AddAnchor(&corner, -1, -1, 10, 10));
    ASSERT_TRUE(dialog.AddAnchor(&across, 10, 10, 10, -1));
    EXPECT_TRUE(dialog.AddAnchor(&free, -1, -1, -1, -1));
    EXPECT_FALSE(dialog.AddAnchor(nullptr, 0, 0, 0, 0));

    dialog.SetWindowSize(600, 450);
    EXPECT_EQ(corner.geometry(), QRect(490, 415, 100, 25));
    EXPECT_EQ(across.geometry(), QRect(10, 10, 580, 20));
    EXPECT_EQ(free.geometry(), QRect(50, 50, 40, 20));
    // A resize by the user (or the window system) lays them out the same way.
    dialog.show();
    dialog.resize(500, 350);
    EXPECT_EQ(corner.geometry(), QRect(390, 315, 100, 25));
    // Narrower than the two distances: the edit keeps its width from its left edge.
    dialog.SetWindowSize(15, 350);
    EXPECT_EQ(across.geometry(), QRect(10, 10, 480, 20));
}

TEST(DialogBackground, TheButtonBarHoldsButtonsAtTheirRightOffsets)
{
    CNVDialog dialog;
    QPushButton finish(&dialog);
    QPushButton tall(&dialog);
    dialog.Create(nullptr);
    dialog.SetWindowSize(500, 300);
    CNVDialog::SetDlgCtrlID(&finish, IDOK);
    CNVDialog::SetDlgCtrlID(&tall, 77);
    finish.setGeometry(0, 0, 100, 25);
    tall.setGeometry(5, 5, 100, 80);
    const int dpi = dialog.logicalDpiX();
    dialog.PlaceButtonInBar(IDOK, 10);
    EXPECT_EQ(finish.pos(), QPoint(500 - MulDiv(dpi, 10, 96) - 100, 300 - 29 - MulDiv(dpi, 14, 96)));
    // An offset beyond the width keeps the button's place across.
    dialog.PlaceButtonInBar(IDOK, 900);
    EXPECT_EQ(finish.x(), 500 - MulDiv(dpi, 10, 96) - 100);
    dialog.PlaceButtonInBar(77, 10);
    EXPECT_EQ(tall.pos(), QPoint(5, 5));
    EXPECT_FALSE(dialog.IsSkinned());
    dialog.SetButtonBar(TRUE);
    EXPECT_TRUE(dialog.IsSkinned());
}

TEST(DialogBackground, TheCloseBoxEndsTheDialogAndDropsItsSkin)
{
    SkinnedPage dialog;
    dialog.Create(nullptr);
    dialog.SetBackgroundColor(kSkinColour);
    dialog.SetBackgroundBitmapFile(QString::fromStdString(HalfRedPicture(2, 1)));
    dialog.SetMinTrackSize(QSize(100, 100));
    dialog.show();
    dialog.close();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), IDCANCEL);
    EXPECT_FALSE(dialog.GetBackgroundColor().has_value());
    EXPECT_TRUE(dialog.GetBackgroundBitmapPath().isEmpty());
    EXPECT_FALSE(dialog.IsSkinned());
    EXPECT_TRUE(dialog.SetWindowSize(20, 20)) << "the track sizes went too";
}

} // namespace
