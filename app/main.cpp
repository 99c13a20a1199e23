// tarnwick-software: the program. Start-up, then the main window as a modal dialog; when it
// closes, the process ends.
#include <clocale>

#include <QApplication>

#include "app/connection/ProbeConnection.h"
#include "app/main/DlgFrameTarnwickSoft.h"
#include "app/main/Skin.h"
#include "app/main/Startup.h"
#include "calibration/wizard/CalibrationDispatch.h"
#include "foundation/PathTools.h"
#include "models/DeviceFactory.h"
#include "ui/Application.h"
#include "ui/MessageBoxes.h"
#include "ui/QtText.h"

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    ui::PrepareApplication();
    QApplication::setApplicationName(ui::ToQString(kDefaultSkinTitle));
    NVSystem::InstallDeviceFactory();
    InstallCalibrationDispatch();
    ui::CQtMessageBoxHook messageBoxes;

    RunStartup(theProbeConnection, GetProgramDirectory());
    // Captions follow the skin; the profile stays under the application's own key.
    QApplication::setApplicationName(ui::ToQString(g_Skin.title));

    {
        CDlgFrame_TarnwickSoft mainWindow;
        mainWindow.DoModal();
    }
    theProbeConnection.DisconnectDevice();
    return 0;
}
