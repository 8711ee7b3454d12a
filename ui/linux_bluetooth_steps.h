#pragma once
// What the help page's "Bluetooth-Geräte" link shows on a Linux system without a desktop
// Bluetooth settings tool: the steps from switched-on analyser to a bound serial link,
// done with BlueZ's command-line tools.

#include <QString>

class QWidget;

/// The steps as HTML (the same markup the help pages use, plus TT for commands).
QString LinuxBluetoothStepsHtml();

/// Shows the steps in a non-modal window of their own above the active window and returns
/// at once; the window deletes itself when closed. Returns that window (tests).
QWidget* ShowLinuxBluetoothSteps();
