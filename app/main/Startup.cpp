#include "app/main/Startup.h"

#include <optional>
#include <string>

#include "app/main/SkinFile.h"
#include "connection/AppProfile.h"
#include "connection/ConnectionString.h"
#include "foundation/MessageBoxes.h"
#include "foundation/PathTools.h"
#include "foundation/SystemStrings.h"
#include "platform/SettingsStore.h"
#include "platform/Utf.h"

namespace
{

CWideString SetAsideText(const platform::settings::SetAsideFile& file)
{
    const std::u16string path = platform::Utf8ToUtf16(file.path);
    const std::u16string reason = platform::Utf8ToUtf16(file.reason);
    if (file.keptAs.empty())
        return CWideString(u"The settings file %s %s and could not be moved aside.\nThe program starts with "
                           u"default settings and cannot save its settings.",
                           path.c_str(), reason.c_str());
    const std::u16string keptAs = platform::Utf8ToUtf16(file.keptAs);
    return CWideString(u"The settings file %s %s.\nIt was kept as %s, and the program starts with default "
                       u"settings.",
                       path.c_str(), reason.c_str(), keptAs.c_str());
}

// The store tells of a settings file it could not use on standard error only: the user hears of
// it once, at start, with where the old file is now. Both hives are looked at here, so that a
// broken one is found at start rather than at its first use.
void TellOfSetAsideSettings()
{
    CWideString text;
    for (const platform::Hive hive : {platform::Hive::CurrentUser, platform::Hive::LocalMachine})
    {
        platform::settings::KeyExists(hive, u"");
        if (const std::optional<platform::settings::SetAsideFile> file =
                platform::settings::TakeSetAsideFile(hive))
            text = text.IsEmpty() ? SetAsideText(*file)
                                  : CWideString(u"%s\n\n%s", static_cast<const char16_t*>(text),
                                                static_cast<const char16_t*>(SetAsideText(*file)));
    }
    if (!text.IsEmpty())
        WarningMessageBox(static_cast<const char16_t*>(text), nullptr,
                          static_cast<const char16_t*>(g_Skin.title));
}

} // namespace

CWideString SkinModelName(USHORT deviceType)
{
    switch (deviceType)
    {
    case 12:
        return g_Skin.modelNameType12;
    case 19:
        return g_Skin.modelNameType19;
    case 18:
        return g_Skin.modelNameType18;
    default:
        return CWideString();
    }
}

void RunStartup(CProbeConnection& connection, const char16_t* programDirectory)
{
    SetSkinDefaults();
    LoadSystemStringTable();
    const CWideString skinFile = CombinePath(programDirectory, kSkinFileName);
    if (FileExists(skinFile))
        LoadSkinFile(skinFile, programDirectory);
    SetSkinModelNameLookup(&SkinModelName);

    {
        // The defaults are one change of the program's own: a settings file that cannot take them is
        // told once.
        const platform::settings::CChangeScope change(platform::settings::ChangeBy::Program);
        if (GetProfileInt(PROFILE_SECTION_COMMUNICATION, PROFILE_MAX_PARAMS, 0) == 0)
            WriteProfileInt(PROFILE_SECTION_COMMUNICATION, PROFILE_MAX_PARAMS, DEFAULT_MAX_PARAMS);
        if (GetProfileString(PROFILE_SECTION_COMMUNICATION, PROFILE_PARAMS_DEFAULT, u"").IsEmpty())
            WriteProfileString(PROFILE_SECTION_COMMUNICATION, PROFILE_PARAMS_DEFAULT,
                               DEFAULT_CONNECTION_STRING);
    }

    if (GetProfileInt(PROFILE_SECTION_COMMUNICATION, PROFILE_MAX_PARAMS, 0) > 0)
    {
        const CWideString first =
            GetProfileString(PROFILE_SECTION_COMMUNICATION, GetConnectionStringEntryName(0), u"");
        if (!first.IsEmpty())
        {
            // The fields read before a bad one keep what they were given, as the parse leaves them.
            sCommSettings settings = connection.GetCommSettings();
            ParseConnectionString(first, settings);
            connection.SetCommSettings(settings);
        }
    }
    TellOfSetAsideSettings();
}
