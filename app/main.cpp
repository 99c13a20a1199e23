// tarnwick-software: the program. Start-up, then the main window as a modal dialog; when it
// closes, the process ends.
//
// Two options serve the run command and the tests rather than the user (Qt's own options pass):
//   --find-real-probe            no window: searches the machine's own serial ports for a probe,
//                                prints "COM n (device) <connection string>" and exits 0 when one
//                                answers, 1 when none does
//   --save-page-pictures PREFIX  connects, saves a picture of each page as PREFIX<page>.png and
//                                closes (CPagePictureRun); exits 1 when that fails
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include <QApplication>

#include "app/main/AppIcon.h"
#include "app/main/DlgFrameTarnwickSoft.h"
#include "app/main/MachineProbeSearch.h"
#include "app/main/PagePictureRun.h"
#include "app/main/Startup.h"
#include "app/pages/CalibrationDispatch.h"
#include "comm/ComPortDiscovery.h"
#include "connection/ProbeConnection.h"
#include "foundation/PathTools.h"
#include "models/DeviceFactory.h"
#include "platform/SettingsStore.h"
#include "platform/Utf.h"
#include "ui/Application.h"
#include "ui/MessageBoxes.h"
#include "ui/QtText.h"
#include "ui/Skin.h"

namespace
{

struct sProgramOptions
{
    bool findRealProbe = false;
    const char* picturePrefix = nullptr;
};

bool ParseOptions(int argc, char** argv, sProgramOptions& options)
{
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--find-real-probe") == 0)
            options.findRealProbe = true;
        else if (std::strcmp(argv[i], "--save-page-pictures") == 0)
        {
            if (i + 1 == argc)
                return false;
            options.picturePrefix = argv[++i];
        }
    }
    return true;
}

int FindRealProbe()
{
    USHORT port = 0;
    CWideString text;
    if (!FindProbeOnMachinePorts(port, text))
        return 1;
    std::printf("%s %s\n",
                platform::Utf16ToUtf8(static_cast<const char16_t*>(FormatComPortDisplayName(port))).c_str(),
                platform::Utf16ToUtf8(static_cast<const char16_t*>(text)).c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv)
try
{
    sProgramOptions options;
    if (!ParseOptions(argc, argv, options))
    {
        std::fprintf(stderr, "usage: tarnwick-software [--find-real-probe | --save-page-pictures PREFIX]\n");
        return 2;
    }
    // A file that reaches the size limit of the process (live-data log, report image) must fail its
    // write, which the program reports, rather than end the program.
    std::signal(SIGXFSZ, SIG_IGN);
    if (options.findRealProbe)
        return FindRealProbe();

    QApplication application(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    ui::PrepareApplication();
    QApplication::setApplicationName(ui::ToQString(kDefaultSkinTitle));
    // The boxes of the start-up come before the main window, with the program's icon all the same.
    QApplication::setWindowIcon(AppIcon());
    NVSystem::InstallDeviceFactory();
    InstallCalibrationDispatch();
    ui::CQtMessageBoxHook messageBoxes;

    // Everything the start-up writes on its own, up to the main window's first news to its pages, is
    // one change: a settings file that refuses it is told once, over the main window.
    auto startupChange =
        std::make_unique<platform::settings::CChangeScope>(platform::settings::ChangeBy::Program);
    RunStartup(theProbeConnection, GetProgramDirectory());
    // Captions follow the skin; the profile stays under the application's own key.
    QApplication::setApplicationName(ui::ToQString(g_Skin.title));

    int result = 0;
    {
        CDlgFrame_TarnwickSoft mainWindow;
        mainWindow.TakeStartupChange(std::move(startupChange));
        std::unique_ptr<CPagePictureRun> pictures;
        if (options.picturePrefix != nullptr)
        {
            pictures =
                std::make_unique<CPagePictureRun>(mainWindow, QString::fromLocal8Bit(options.picturePrefix));
            pictures->Start();
        }
        mainWindow.DoModal();
        if (pictures && !pictures->Succeeded())
            result = 1;
    }
    theProbeConnection.DisconnectDevice();
    return result;
}
catch (const std::bad_alloc&)
{
    // Whatever could not be had, the user learns why the program ended rather than seeing it abort.
    std::fprintf(stderr, "tarnwick-software: not enough memory; the program ends\n");
    return EXIT_FAILURE;
}
