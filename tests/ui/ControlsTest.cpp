// The custom controls: the numeric edit, the colour scheme, the bitmap tab button, the list boxes
// and the label, with pictures of how they look on the skin.
#include <filesystem>
#include <initializer_list>
#include <string>

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QSignalBlocker>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

#include "tests/support/QtTestSupport.h"
#include "tests/support/TestEnvironment.h"
#include "ui/Label.h"
#include "ui/NVBitmapButtonEx.h"
#include "ui/NVButton.h"
#include "ui/NVComboBox.h"
#include "ui/NVDialog.h"
#include "ui/NVEdit.h"
#include "ui/NVListBox.h"
#include "ui/NVStatic.h"
#include "ui/ToolTip.h"

namespace
{

constexpr COLORREF kSkinColour = 0xD6CEBB;
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kYellow = RGB(255, 255, 0);
constexpr COLORREF kGreen = RGB(0, 128, 0);

void Hover(QWidget& widget)
{
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), widget.mapToGlobal(QPointF(2, 2)));
    QCoreApplication::sendEvent(&widget, &enter);
}

void Leave(QWidget& widget)
{
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&widget, &leave);
}

TEST(NumericEdit, TypedTextIsFilteredAndClampedAtEveryKeystroke)
{
    CNVDialog dialog;
    CNVEdit address(&dialog);
    dialog.Create(nullptr);
    address.SetIntegerMode(TRUE);
    address.SetIntegerRange(1, 247);
    QSignalSpy changes(&address, &CNVEdit::TextChanged);

    QTest::keyClicks(&address, "1a2");
    EXPECT_EQ(address.GetText(), QStringLiteral("12"));
    EXPECT_EQ(changes.count(), 3) << "one notification per change, the refused 'a' included";
    address.clear();
    QTest::keyClicks(&address, "300");
    EXPECT_EQ(address.GetText(), QStringLiteral("247"));
    EXPECT_EQ(address.cursorPosition(), 3);
    address.clear();
    QTest::keyClicks(&address, "0");
    EXPECT_EQ(address.GetText(), QStringLiteral("1"));
    // Emptied, the text stays empty rather than becoming a bound; a sign alone reads as 0.
    address.clear();
    EXPECT_TRUE(address.IsEmpty());
    QTest::keyClicks(&address, "-");
    EXPECT_EQ(address.GetText(), QStringLiteral("1"));

    CNVEdit value(&dialog);
    value.SetFloatMode(TRUE);
    QTest::keyClicks(&value, "1.2.3");
    EXPECT_EQ(value.GetText(), QStringLiteral("1.23"));
    value.setText(QStringLiteral("e5"));
    EXPECT_EQ(value.GetText(), QStringLiteral("5"));
    value.setText(QStringLiteral("1e-5"));
    EXPECT_EQ(value.GetText(), QStringLiteral("1e-5"));
    value.clear();
    QTest::keyClicks(&value, "1e5.3");
    EXPECT_EQ(value.GetText(), QStringLiteral("1e5.3")) << "the first separator stays";
    value.SetFloatRange(0.5f, 100);
    value.clear();
    QTest::keyClicks(&value, ".");
    EXPECT_EQ(value.GetText(), QStringLiteral("0.500000"));

    // A text the program sets under a signal blocker is taken as it stands.
    {
        const QSignalBlocker blocker(&address);
        address.setText(QStringLiteral("1000"));
    }
    EXPECT_EQ(address.GetText(), QStringLiteral("1000"));

    CNVEdit plain(&dialog);
    plain.setText(QStringLiteral("abc"));
    EXPECT_EQ(plain.GetText(), QStringLiteral("abc"));
}

TEST(NumericEdit, ADoubleRangeClampsWithTwelveDecimals)
{
    CNVEdit elevation;
    elevation.SetDoubleMode(TRUE);
    elevation.SetDoubleRange(-400, 5500);
    elevation.setText(QStringLiteral("9000"));
    EXPECT_EQ(elevation.GetText(), QStringLiteral("5500.000000000000"));
    elevation.setText(QStringLiteral("-"));
    EXPECT_EQ(elevation.GetText(), QStringLiteral("-")) << "a number in the making is left to be finished";
}

TEST(ColourScheme, ColoursBoldTextAndTooltipComeAndGo)
{
    CNVDialog dialog;
    CNVButton button(QStringLiteral("Start"), &dialog);
    dialog.Create(nullptr);
    const QPalette inherited = button.palette();
    button.SetTextColor(RGB(0, 0, 255));
    button.SetBackColor(kYellow);
    button.SetToolTipText(QStringLiteral("Alt+C"));
    button.SetBold(TRUE);
    EXPECT_EQ(button.palette().color(QPalette::Active, QPalette::ButtonText), QColor(0, 0, 255));
    EXPECT_EQ(button.palette().color(QPalette::Button), QColor(255, 255, 0));
    // A disabled control keeps the style's greyed text.
    EXPECT_EQ(button.palette().color(QPalette::Disabled, QPalette::ButtonText),
              inherited.color(QPalette::Disabled, QPalette::ButtonText));
    EXPECT_EQ(button.font().weight(), QFont::Bold);
    EXPECT_EQ(button.toolTip(), QStringLiteral("Alt+C"));

    button.ResetStyle();
    EXPECT_FALSE(button.IsTextColorSet());
    EXPECT_FALSE(button.IsBackColorSet());
    EXPECT_EQ(button.palette(), inherited);
    EXPECT_FALSE(button.testAttribute(Qt::WA_SetPalette));
    EXPECT_EQ(button.font().weight(), QFont::Normal);
    EXPECT_TRUE(button.toolTip().isEmpty());
}

TEST(ColourScheme, TheStabilityFieldShowsItsColourAndATransparentControlNone)
{
    CNVDialog dialog;
    CNVEdit none(&dialog);
    CNVEdit nominal(&dialog);
    CNVEdit full(&dialog);
    CNVEdit off(&dialog);
    CNVStatic caption(&dialog);
    CNVStatic transparent(&dialog);
    CNVButton button(QStringLiteral("Calibrate..."), &dialog);
    CNVRadioButton radio(QStringLiteral("Reference 25 \u00B0C"), &dialog);
    CNVComboBox combo(&dialog);
    CNVListBox sensors(&dialog);
    CNVCheckListBox parameters(&dialog);
    dialog.Create(nullptr);
    dialog.SetWindowSize(420, 310);
    dialog.SetBackgroundColor(kSkinColour);
    caption.setText(QStringLiteral("Stability:"));
    caption.setGeometry(10, 12, 90, 22);
    const std::pair<CNVEdit*, std::pair<const char*, COLORREF>> fields[] = {
        {&none, {"None", kRed}}, {&nominal, {"Nominal", kYellow}}, {&full, {"Full", kGreen}}};
    int x = 100;
    for (const auto& [edit, look] : fields)
    {
        edit->setText(QString::fromLatin1(look.first));
        edit->setReadOnly(true);
        edit->SetBackColor(look.second);
        edit->SetBold(TRUE);
        edit->setGeometry(x, 10, 95, 24);
        x += 105;
    }
    off.setText(QStringLiteral("switched off"));
    off.SetBackColor(kRed);
    off.ClearBackColor();
    off.setGeometry(100, 44, 200, 24);
    transparent.setText(QStringLiteral("Transparent static with a back colour"));
    transparent.SetBackColor(RGB(255, 255, 255));
    ui::SetTransparent(&transparent, true);
    transparent.setGeometry(10, 80, 300, 22);
    button.SetTextColor(RGB(0, 0, 160));
    button.SetBackColor(RGB(0xE8, 0xF0, 0xF4));
    button.setGeometry(10, 120, 120, 28);
    radio.SetTextColor(RGB(0x80, 0, 0));
    radio.setGeometry(150, 122, 140, 24);
    combo.addItems({QStringLiteral("mS/cm"), QStringLiteral("\u00B5S/cm")});
    combo.SetBackColor(RGB(255, 255, 255));
    combo.setGeometry(10, 165, 140, 26);
    for (const char* sensor : {"1: Optical DO", "2: Conductivity", "3: Level", "4: pH/ORP"})
        sensors.AddString(QString::fromLatin1(sensor));
    sensors.setCurrentRow(1);
    sensors.setGeometry(10, 205, 190, 95);
    for (const char* parameter :
         {"Temperature", "DO concentration", "DO % saturation", "Partial pressure O2"})
        parameters.AddString(QString::fromLatin1(parameter));
    parameters.SetCheck(0, TRUE);
    parameters.SetCheck(2, TRUE);
    parameters.setGeometry(215, 205, 195, 95);
    dialog.show();

    const QImage shot = dialog.grab().toImage();
    EXPECT_EQ(shot.pixelColor(none.geometry().right() - 6, 14), QColor(255, 0, 0));
    EXPECT_EQ(shot.pixelColor(nominal.geometry().right() - 6, 14), QColor(255, 255, 0));
    EXPECT_EQ(shot.pixelColor(full.geometry().right() - 6, 14), QColor(0, 128, 0));
    EXPECT_EQ(shot.pixelColor(off.geometry().right() - 6, 48), off.palette().color(QPalette::Base));
    EXPECT_NE(off.palette().color(QPalette::Base), QColor(255, 0, 0));
    EXPECT_EQ(shot.pixelColor(transparent.geometry().right() - 3, 83), QColor(0xBB, 0xCE, 0xD6));
    testsupport::SavePicture(dialog);
}

// Four picture files of the given size in distinct colours; the last one left out on request.
std::vector<QString> TabPictures(QSize size, bool all = true)
{
    std::vector<QString> files;
    const QColor colours[] = {Qt::darkBlue, Qt::blue, Qt::darkGreen, Qt::gray};
    for (int i = 0; i < 4; ++i)
    {
        const auto file =
            testsupport::ProcessTempDir() / ("tab-" + std::to_string(i) + "-" + std::to_string(size.width()) +
                                             "x" + std::to_string(size.height()) + ".png");
        std::filesystem::remove(file);
        if (all || i < 3)
        {
            QImage image(size, QImage::Format_RGB32);
            image.fill(colours[i]);
            image.save(QString::fromStdString(file.string()));
        }
        files.push_back(QString::fromStdString(file.string()));
    }
    return files;
}

TEST(BitmapButton, TheStateDecidesThePictureAndHoverNeedsATooltip)
{
    CNVBitmapButtonEx tab;
    tab.setText(QStringLiteral("Live Data"));
    const auto files = TabPictures(QSize(80, 20));
    ASSERT_TRUE(tab.LoadBitmapsFromFiles(files[0], files[1], files[2], files[3]));
    EXPECT_EQ(tab.size(), QSize(MulDiv(tab.logicalDpiX(), 80, 96), MulDiv(tab.logicalDpiX(), 20, 96)));
    const auto colourAtCorner = [&tab] { return tab.grab().toImage().pixelColor(2, 2); };
    EXPECT_EQ(tab.GetDrawState(), CNVBitmapButtonEx::kNormal);
    EXPECT_EQ(colourAtCorner(), QColor(Qt::darkBlue));

    Hover(tab);
    EXPECT_FALSE(tab.IsHovering()) << "no tooltip, no hover picture";
    tab.SetToolTipText(QStringLiteral("Next (Alt+Right), Back (Alt+Left)"));
    Hover(tab);
    EXPECT_EQ(tab.GetDrawState(), CNVBitmapButtonEx::kHover);
    EXPECT_EQ(colourAtCorner(), QColor(Qt::blue));
    tab.SetPressed(TRUE);
    EXPECT_EQ(tab.GetDrawState(), CNVBitmapButtonEx::kPressed);
    EXPECT_EQ(colourAtCorner(), QColor(Qt::darkGreen));
    tab.setEnabled(false);
    EXPECT_EQ(tab.GetDrawState(), CNVBitmapButtonEx::kDisabled);
    EXPECT_EQ(colourAtCorner(), QColor(Qt::gray));
    tab.setEnabled(true);
    tab.SetPressed(FALSE);
    Leave(tab);
    EXPECT_EQ(tab.GetDrawState(), CNVBitmapButtonEx::kNormal);
}

TEST(BitmapButton, AHugeTabPictureIsDecodedOnceForAllButtonsAndHeldWithinTheBound)
{
    const auto files = TabPictures(QSize(6000, 1500));
    CNVBitmapButtonEx first;
    CNVBitmapButtonEx second;
    ASSERT_TRUE(first.LoadBitmapsFromFiles(files[0], files[1], files[2], files[3]));
    ASSERT_TRUE(second.LoadBitmapsFromFiles(files[0], files[1], files[2], files[3]));
    for (const auto state : {CNVBitmapButtonEx::kNormal, CNVBitmapButtonEx::kHover,
                             CNVBitmapButtonEx::kPressed, CNVBitmapButtonEx::kDisabled})
    {
        EXPECT_EQ(first.GetBitmap(state).size(), QSize(256, 64)) << "scaled down, its shape kept";
        EXPECT_EQ(first.GetBitmap(state).cacheKey(), second.GetBitmap(state).cacheKey())
            << "one decoded picture for every button";
    }
    const int dpi = first.logicalDpiX();
    EXPECT_EQ(first.size(), QSize(MulDiv(dpi, 256, 96), MulDiv(dpi, 64, 96)));
    EXPECT_EQ(first.grab().toImage().pixelColor(4, 4), QColor(Qt::darkBlue));

    // A picture file that has been replaced is read anew.
    QImage image(QSize(90, 30), QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(files[0]));
    CNVBitmapButtonEx third;
    ASSERT_TRUE(third.LoadBitmapsFromFiles(files[0], files[1], files[2], files[3]));
    EXPECT_EQ(third.GetBitmap(CNVBitmapButtonEx::kNormal).size(), QSize(90, 30));
    EXPECT_EQ(third.GetBitmap(CNVBitmapButtonEx::kHover).cacheKey(),
              first.GetBitmap(CNVBitmapButtonEx::kHover).cacheKey());
}

TEST(BitmapButton, PictureFilesCountOnlyAllFourTogether)
{
    CNVBitmapButtonEx tab;
    const auto files = TabPictures(QSize(80, 20), false);
    EXPECT_FALSE(tab.LoadBitmapsFromFiles(files[0], files[1], files[2], files[3]));
    EXPECT_FALSE(tab.HasBitmaps());
    EXPECT_TRUE(tab.LoadBitmaps());
    EXPECT_TRUE(tab.HasBitmaps());
}

TEST(BitmapButton, ALongCaptionIsCutAtTheLastCharacterThatFits)
{
    CNVBitmapButtonEx tab;
    tab.LoadBitmaps();
    tab.setText(QStringLiteral("Communication settings of the probe"));
    const QString fitted = tab.GetFittedText(tab.font());
    EXPECT_TRUE(tab.text().startsWith(fitted));
    EXPECT_LT(fitted.size(), tab.text().size());
    EXPECT_LE(QFontMetrics(tab.font()).horizontalAdvance(fitted), tab.width());
    EXPECT_GT(QFontMetrics(tab.font()).horizontalAdvance(tab.text().left(fitted.size() + 1)), tab.width());
}

TEST(BitmapButton, TheTabRowInItsFourStates)
{
    CNVDialog window;
    CNVBitmapButtonEx live(&window);
    CNVBitmapButtonEx communication(&window);
    CNVBitmapButtonEx sensors(&window);
    CNVBitmapButtonEx probe(&window);
    window.Create(nullptr);
    window.SetBackgroundColor(kSkinColour);
    window.SetWindowSize(520, 80);
    int x = 10;
    const std::pair<CNVBitmapButtonEx*, const char*> tabs[] = {{&live, "Live Data"},
                                                               {&communication, "Communication"},
                                                               {&sensors, "Sensor Setup"},
                                                               {&probe, "Probe Info"}};
    for (const auto& [tab, caption] : tabs)
    {
        tab->setText(QString::fromLatin1(caption));
        tab->LoadBitmaps();
        tab->SetTextColors(0xFFFFFF, 0, 0, 0x808080);
        tab->SetFontsBold();
        tab->SetToolTipText(QStringLiteral("Next (Alt+Right), Back (Alt+Left)"));
        tab->move(x, 40);
        x += tab->width();
        EXPECT_EQ(tab->GetFittedText(tab->font()), tab->text()) << caption << " fits its tab";
    }
    live.SetPressed(TRUE);
    Hover(communication);
    probe.setEnabled(false);
    window.show();
    const QImage shot = window.grab().toImage();
    // Normal white text on the dark tab, the selected tab light like the page below it.
    EXPECT_LT(shot.pixelColor(sensors.x() + 4, sensors.y() + sensors.height() - 3).lightness(), 100);
    EXPECT_GT(shot.pixelColor(live.x() + 4, live.y() + live.height() - 3).lightness(), 170);
    testsupport::SavePicture(window);
}

TEST(ListBox, InsertionClampsItsIndexAndAutoScrollFollowsTheNewItem)
{
    CNVListBox list;
    EXPECT_EQ(list.AddString(QStringLiteral("b")), 0);
    EXPECT_EQ(list.InsertString(-5, QStringLiteral("a")), 0);
    EXPECT_EQ(list.InsertString(99, QStringLiteral("c")), 2);
    EXPECT_EQ(list.item(0)->text(), QStringLiteral("a"));
    EXPECT_EQ(list.item(2)->text(), QStringLiteral("c"));
    EXPECT_EQ(list.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    list.SetAutoExtent(TRUE);
    EXPECT_EQ(list.horizontalScrollBarPolicy(), Qt::ScrollBarAsNeeded);

    list.resize(160, 70);
    list.show();
    for (int i = 0; i < 30; ++i)
        list.AddString(QStringLiteral("reading %1").arg(i));
    EXPECT_TRUE(list.viewport()->rect().contains(list.visualItemRect(list.item(0)).topLeft()));
    list.SetAutoScroll(TRUE);
    const int last = list.AddString(QStringLiteral("newest"));
    EXPECT_TRUE(list.viewport()->rect().intersects(list.visualItemRect(list.item(last))));
    EXPECT_FALSE(list.viewport()->rect().intersects(list.visualItemRect(list.item(0))));
}

// Counts the paints a widget gets.
class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

TEST(Label, SettingTheSameTextDoesNotRepaint)
{
    CLabel label;
    label.resize(200, 24);
    label.SetText(QStringLiteral("Data code: 0"));
    label.show();
    testsupport::PumpEvents();
    PaintCounter counter;
    label.installEventFilter(&counter);
    label.SetText(QStringLiteral("Data code: 0"));
    testsupport::PumpEvents();
    EXPECT_EQ(counter.paints, 0);
    label.SetText(QStringLiteral("Data code: 1"));
    EXPECT_TRUE(testsupport::WaitUntil([&] { return counter.paints > 0; }));
}

TEST(Label, ClicksFollowTheLinkOrAreReported)
{
    testsupport::ScriptedDialogs dialogs;
    CLabel label;
    label.resize(200, 24);
    label.setText(QStringLiteral("service@example.org"));
    QTest::mouseClick(&label, Qt::LeftButton);
    EXPECT_TRUE(dialogs.OpenedUrls().empty()) << "a plain label is no link";
    label.SetLink(CLabel::kLinkMail);
    QTest::mouseClick(&label, Qt::LeftButton);
    label.SetLink(CLabel::kLinkOpen, QStringLiteral("https://example.org/probes"));
    QTest::mouseClick(&label, Qt::LeftButton);
    ASSERT_EQ(dialogs.OpenedUrls().size(), 2u);
    EXPECT_EQ(dialogs.OpenedUrls()[0], QUrl(QStringLiteral("mailto:service@example.org")));
    EXPECT_EQ(dialogs.OpenedUrls()[1], QUrl(QStringLiteral("https://example.org/probes")));

    CNVDialog::SetDlgCtrlID(&label, 1309);
    label.SetNotify(TRUE);
    QSignalSpy clicks(&label, &CLabel::Clicked);
    QTest::mouseClick(&label, Qt::LeftButton);
    ASSERT_EQ(clicks.count(), 1);
    EXPECT_EQ(clicks[0][0].toUInt(), 1309u);
    EXPECT_EQ(dialogs.OpenedUrls().size(), 2u);
}

TEST(Label, GradientShadowAndTransparency)
{
    CNVDialog dialog;
    CLabel gradient(&dialog);
    CLabel raised(&dialog);
    CLabel clear(&dialog);
    dialog.Create(nullptr);
    dialog.SetBackgroundColor(kSkinColour);
    dialog.SetWindowSize(300, 110);
    gradient.setGeometry(10, 10, 280, 26);
    gradient.setText(QStringLiteral("Gradient label"));
    gradient.setAlignment(Qt::AlignCenter);
    gradient.SetTextColor(0xFFFFFF);
    gradient.SetGradient(TRUE, RGB(0, 0, 128), RGB(0, 128, 255));
    raised.setGeometry(10, 44, 280, 26);
    raised.setText(QStringLiteral("Raised text\twith a tab"));
    raised.Set3DText(TRUE);
    raised.SetShadowColor(0xFFFFFF);
    raised.SetBkColor(RGB(0xE0, 0xE0, 0xE0));
    clear.setGeometry(10, 78, 280, 26);
    clear.setText(QStringLiteral("Transparent label"));
    ui::SetTransparent(&clear, true);
    dialog.show();
    const QImage shot = dialog.grab().toImage();
    EXPECT_EQ(shot.pixelColor(11, 12), QColor(0, 0, 128));
    const QColor right = shot.pixelColor(288, 12);
    EXPECT_NEAR(right.green(), 128, 3);
    EXPECT_NEAR(right.blue(), 255, 3);
    EXPECT_EQ(shot.pixelColor(288, 46), QColor(0xE0, 0xE0, 0xE0));
    EXPECT_EQ(shot.pixelColor(288, 80), QColor(0xBB, 0xCE, 0xD6));
    testsupport::SavePicture(dialog);
}

// The dark pixels of a picture: where text in black was drawn on white.
QRect DarkArea(const QImage& picture)
{
    QRect area;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (picture.pixelColor(x, y).lightness() < 128)
                area |= QRect(x, y, 1, 1);
    return area;
}

TEST(Label, RotatedTextRunsFromTheCentreAtItsAngle)
{
    CLabel label;
    label.resize(160, 160);
    label.setText(QStringLiteral("Depth m"));
    label.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label.SetBkColor(0xFFFFFF);
    label.SetTextColor(0);
    const QPoint centre(80, 80);
    const QFontMetrics metrics(label.font());
    const int length = metrics.horizontalAdvance(label.text());

    label.SetRotationAngle(90, TRUE);
    const QRect upwards = DarkArea(label.grab().toImage());
    ASSERT_FALSE(upwards.isEmpty());
    // From the centre upwards, its baseline on the centre's column.
    EXPECT_LE(upwards.bottom(), centre.y() + 1);
    EXPECT_NEAR(upwards.top(), centre.y() - length, 3);
    EXPECT_LE(upwards.right(), centre.x() + metrics.descent() + 1);
    EXPECT_GE(upwards.left(), centre.x() - metrics.ascent() - 1);

    // The angle is kept while rotation is off: the text follows the label's alignment again.
    label.SetRotationAngle(90, FALSE);
    const QRect level = DarkArea(label.grab().toImage());
    EXPECT_LT(level.left(), 5);
    EXPECT_LT(level.height(), metrics.height());

    // Rotated by 0, the line starts at the centre.
    label.SetRotationAngle(0, TRUE);
    const QRect fromCentre = DarkArea(label.grab().toImage());
    EXPECT_GE(fromCentre.left(), centre.x() - 1);
    EXPECT_LE(fromCentre.bottom(), centre.y() + metrics.descent() + 1);

    label.SetRotationAngle(90, TRUE);
    label.Set3DText(TRUE);
    label.SetShadowColor(RGB(0, 0, 255));
    testsupport::SavePicture(label);
}

TEST(ToolTip, LongTipsAreBrokenAtBlanksToThreeHundredPixels)
{
    const QFont font = QToolTip::font();
    const QFontMetrics metrics(font);
    const QString text = QStringLiteral(
        "Keep the probe in the calibration standard until the reading is stable; the wizard then takes "
        "the point and asks for the next standard.");
    const QString wrapped = ui::WrapToolTipText(text, font);
    const QStringList lines = wrapped.split(u'\n');
    ASSERT_GT(lines.size(), 1);
    for (const QString& line : lines)
        EXPECT_LE(metrics.horizontalAdvance(line), ui::kMaxToolTipWidth) << line.toStdString();
    EXPECT_EQ(lines.join(u' '), text) << "only blanks become line breaks";
    // A word wider than the tip stands alone; short texts and given line breaks stay.
    const QString word(80, u'W');
    EXPECT_EQ(ui::WrapToolTipText(QStringLiteral("a ") + word + QStringLiteral(" b"), font),
              QStringLiteral("a\n") + word + QStringLiteral("\nb"));
    EXPECT_EQ(ui::WrapToolTipText(QStringLiteral("Alt+Enter"), font), QStringLiteral("Alt+Enter"));
    EXPECT_EQ(ui::WrapToolTipText(QStringLiteral("one\ntwo"), font), QStringLiteral("one\ntwo"));
}

TEST(ToolTip, TheControlsShowTheirTipsWrapped)
{
    const QString text = QStringLiteral(
        "Next page (Alt+Right), previous page (Alt+Left); the selected tab shows the page that is open now.");
    CNVDialog dialog;
    CNVButton button(QStringLiteral("Start"), &dialog);
    CNVEdit edit(&dialog);
    CNVBitmapButtonEx tab(&dialog);
    edit.move(0, 40);
    tab.move(0, 80);
    dialog.Create(nullptr);
    dialog.show();
    button.SetToolTipText(text);
    edit.SetToolTipText(text);
    tab.SetToolTipText(text);
    for (QWidget* control : std::initializer_list<QWidget*>{&button, &edit, &tab})
    {
        QHelpEvent request(QEvent::ToolTip, QPoint(4, 4), control->mapToGlobal(QPoint(4, 4)));
        QCoreApplication::sendEvent(control, &request);
        ASSERT_TRUE(QToolTip::isVisible()) << control->metaObject()->className();
        EXPECT_EQ(QToolTip::text(), ui::WrapToolTipText(text, QToolTip::font()));
        EXPECT_GT(QToolTip::text().count(u'\n'), 0);
        EXPECT_EQ(control->toolTip(), text) << "the control keeps its text as given";
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->inherits("QTipLabel") && window->isVisible())
            {
                // The tip's frame and margins come on top of its text.
                EXPECT_LE(window->width(), ui::kMaxToolTipWidth + 20);
                if (control == &tab)
                    testsupport::SavePicture(*window);
            }
        QToolTip::hideText();
    }
}

} // namespace
