// The OK and Cancel buttons at the bottom right of the sensor setup's popups: they send IDOK and
// IDCANCEL to the popup, OK is the default button, and neither takes Enter for itself.
#pragma once

class CNVButton;
class CNVDialog;
class QHBoxLayout;

QHBoxLayout* CreateOkCancelRow(CNVDialog& dialog, CNVButton& ok, CNVButton& cancel);
