// What the windows share with the application object: its set-up, its main window and its name.
#pragma once

#include <QString>

class QWidget;

namespace ui
{

// Call right after the QApplication is constructed (the program and every window test do): the
// numeric locale "C" for the C library and for Qt (one decimal point, '.', everywhere), the Fusion
// style with its own palette and the dialog font, so that windows look and measure the same on
// every desktop.
void PrepareApplication();

// The dialog font: a family that the setup script installs, so text metrics are stable.
inline constexpr char kDialogFontFamily[] = "Liberation Sans";
inline constexpr int kDialogFontPoints = 9;

// The application's main window: the owner of a message box given none, the window that
// CNVDialog::CenterOnMainWindow centres on. Null when none is set or it is gone.
void SetMainWindow(QWidget* window);
QWidget* GetMainWindow();

// The name in the captions of the message boxes: the application object's name, empty without an
// application object.
QString ApplicationName();

} // namespace ui
