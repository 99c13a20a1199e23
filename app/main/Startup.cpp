#include "app/main/Startup.h"

#include "app/main/SkinFile.h"
#include "connection/AppProfile.h"
#include "connection/ConnectionString.h"
#include "foundation/PathTools.h"
#include "foundation/SystemStrings.h"

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

    if (GetProfileInt(PROFILE_SECTION_COMMUNICATION, PROFILE_MAX_PARAMS, 0) == 0)
        WriteProfileInt(PROFILE_SECTION_COMMUNICATION, PROFILE_MAX_PARAMS, DEFAULT_MAX_PARAMS);
    if (GetProfileString(PROFILE_SECTION_COMMUNICATION, PROFILE_PARAMS_DEFAULT, u"").IsEmpty())
        WriteProfileString(PROFILE_SECTION_COMMUNICATION, PROFILE_PARAMS_DEFAULT, DEFAULT_CONNECTION_STRING);

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
}
