// The skin file: its colours, names, paths and the all-four rule of the tab bitmaps.
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "app/main/SkinFile.h"
#include "foundation/NameLookups.h"
#include "tests/support/TestEnvironment.h"
#include "ui/QtText.h"

namespace
{

std::u16string Text(const CWideString& text)
{
    return text.IsEmpty() ? std::u16string() : std::u16string(static_cast<const char16_t*>(text));
}

class SkinFileTest : public testing::Test
{
protected:
    void SetUp() override { SetSkinDefaults(); }
    void TearDown() override { SetSkinDefaults(); }

    // Writes the skin file into the test's folder (which stands for the executable's) and loads it.
    void Load(const std::string& text)
    {
        const auto file = Folder() / "RUVoroDov.ini";
        std::ofstream(file, std::ios::binary) << text;
        LoadSkinFile(Wide(file).c_str(), Wide(Folder()).c_str());
    }
    std::filesystem::path Folder() const { return m_dir.Path(); }
    static std::u16string Wide(const std::filesystem::path& path) { return path.u16string(); }
    void Touch(const std::string& name) { std::ofstream(Folder() / name) << "x"; }

private:
    testsupport::ScopedConfigDir m_dir;
};

TEST_F(SkinFileTest, DefaultsAreTheProgramsOwnLook)
{
    EXPECT_EQ(Text(g_Skin.title), u"Tarnwick Software");
    EXPECT_EQ(g_Skin.backgroundColor, 0xD6CEBBu);
    EXPECT_EQ(g_Skin.tabTextNormalColor, 0xFFFFFFu);
    EXPECT_EQ(g_Skin.tabTextSelectedColor, 0u);
    EXPECT_EQ(g_Skin.tabTextHoverColor, 0u);
    EXPECT_EQ(g_Skin.tabTextDisabledColor, 0x808080u);
    EXPECT_TRUE(g_Skin.icon.IsEmpty());
    EXPECT_EQ(Text(g_Skin.modelNameType12), GetDeviceModelName(12));
    EXPECT_EQ(Text(g_Skin.modelNameType19), GetDeviceModelName(19));
    EXPECT_EQ(Text(g_Skin.modelNameType18), GetDeviceModelName(18));
}

TEST_F(SkinFileTest, AColourChangesOnlyWithAllThreePartsPresentAndNotNegative)
{
    Load("[MainWindow]\nBackgroundColorRed=255\nBackgroundColorGreen=0\n"
         "[TabTextNormalColor]\nRed=1\nGreen=2\nBlue=-3\n"
         "[tabtexthovercolor]\nred=16\ngreen=32\nblue=48\n"
         "[TabTextDisabledColor]\nRed=300\nGreen=0\nBlue=0\n");
    EXPECT_EQ(g_Skin.backgroundColor, 0xD6CEBBu);
    EXPECT_EQ(g_Skin.tabTextNormalColor, 0xFFFFFFu);
    EXPECT_EQ(g_Skin.tabTextHoverColor, RGB(16, 32, 48));
    // Each part gives its low byte: 300 is 0x12C.
    EXPECT_EQ(g_Skin.tabTextDisabledColor, 0x00002Cu);
    EXPECT_EQ(g_Skin.tabTextSelectedColor, 0u);
}

TEST_F(SkinFileTest, TitleAndNamesComeAsWrittenAndMissingNamesFallBackToTheModelTable)
{
    Load("[MAINWINDOW]\nTitle=\"Oxygen Probe Service\"\n[Names]\nVOXPro='Probe One'\n");
    EXPECT_EQ(Text(g_Skin.title), u"Oxygen Probe Service");
    EXPECT_EQ(Text(g_Skin.modelNameType12), u"Probe One");
    // A missing name is emptied, so the model table's applies; type 18 has no key at all.
    EXPECT_TRUE(g_Skin.modelNameType19.IsEmpty());
    EXPECT_EQ(Text(g_Skin.modelNameType18), GetDeviceModelName(18));

    Load("[MainWindow]\nBackgroundImage=back.bmp\n");
    EXPECT_EQ(Text(g_Skin.title), u"Tarnwick Software");
    EXPECT_TRUE(g_Skin.modelNameType12.IsEmpty());
}

TEST_F(SkinFileTest, RelativePathsAreTakenFromTheExecutablesFolder)
{
    const std::u16string folder = Wide(Folder());
    const std::u16string expected = folder + u"/tab.bmp";
    for (const char16_t* written : {u"tab.bmp", u"./tab.bmp", u".\\tab.bmp", u"../tab.bmp"})
        EXPECT_EQ(Text(ResolveSkinPath(written, folder.c_str())), expected)
            << ui::ToQString(written).toStdString();
    EXPECT_EQ(Text(ResolveSkinPath(u"skins\\blue\\tab.bmp", folder.c_str())),
              folder + u"/skins/blue/tab.bmp");
    EXPECT_EQ(Text(ResolveSkinPath(u"/usr/share/skin/tab.bmp", folder.c_str())), u"/usr/share/skin/tab.bmp");
    EXPECT_TRUE(ResolveSkinPath(u"", folder.c_str()).IsEmpty());
    // "." names no file, so it must not name the folder.
    EXPECT_TRUE(ResolveSkinPath(u".", folder.c_str()).IsEmpty());
}

TEST_F(SkinFileTest, TabBitmapsCountOnlyWhenAllFourFilesExist)
{
    Touch("normal.bmp");
    Touch("selected.bmp");
    Touch("hover.bmp");
    Load("[TabBitmaps]\nNormal=normal.bmp\nSelected=selected.bmp\nHover=hover.bmp\nDisabled=disabled.bmp\n");
    EXPECT_EQ(Text(g_Skin.tabBitmapDisabled), Wide(Folder() / "disabled.bmp"));
    EXPECT_FALSE(HasSkinTabBitmaps());
    Touch("disabled.bmp");
    EXPECT_TRUE(HasSkinTabBitmaps());
    g_Skin.tabBitmapHover.SetEmpty();
    EXPECT_FALSE(HasSkinTabBitmaps());
}

TEST_F(SkinFileTest, TheIconIsTheFileOnlyWhenItExists)
{
    Load("[MainWindow]\nIconImage=probe.ico\n");
    EXPECT_EQ(Text(g_Skin.iconImage), Wide(Folder() / "probe.ico"));
    EXPECT_TRUE(g_Skin.icon.IsEmpty());
    Touch("probe.ico");
    Load("[MainWindow]\nIconImage=probe.ico\n");
    EXPECT_EQ(Text(g_Skin.icon), Wide(Folder() / "probe.ico"));
}

TEST_F(SkinFileTest, AnUnreadableFileChangesOnlyTheModelNames)
{
    g_Skin.backgroundColor = RGB(1, 2, 3);
    EXPECT_TRUE(LoadSkinFile(Wide(Folder() / "absent.ini").c_str(), Wide(Folder()).c_str()));
    EXPECT_EQ(g_Skin.backgroundColor, RGB(1, 2, 3));
    EXPECT_EQ(Text(g_Skin.title), u"Tarnwick Software");
    EXPECT_TRUE(g_Skin.modelNameType12.IsEmpty());
}

} // namespace
