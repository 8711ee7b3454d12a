// What assistive tools are told of the main window's controls, and the keyboard's way
// through it. Screen readers read these names and descriptions, UI-automation tools find
// the controls by them, and on a Windows tablet the touch keyboard appears only for a
// field that UI Automation describes as editable.

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>

#include "ui/accessible_interfaces.h"
#include "ui/formmain.h"

void TFormmain::DescribeControls() {
    InstallAccessibleInterfaces();

    // Each field is named by the caption beside it. (On Linux Qt names a drop-down list by
    // its shown item, as AT-SPI tools expect, and hands them the caption as its label.)
    LBRZ1->setBuddy(SERZ1);
    LBRZ2->setBuddy(SERZ2);
    LBRZ3->setBuddy(SERZ3);
    Lderivate->setBuddy(ElCBderivate);
    Label12->setBuddy(SEWTT);
    for (TSpinEdit* edit : {SERZ1, SERZ2, SERZ3}) {
        edit->setAccessibleDescription(QString::fromUtf8("Rußzahl von 0,0 bis 10,0"));
    }
    SEWTT->setAccessibleDescription(QString::fromUtf8("Kesseltemperatur in °C, von 0,0 bis 120,0"));
    ElCBderivate->setAccessibleDescription(
        QString::fromUtf8("Wurden Ölderivate im Abgas gefunden? Nein oder Ja"));
    // The check box has no caption: it sits on the frame of what it switches.
    CBRZaktiv->setAccessibleName(QString::fromUtf8("Rußzahlen und Ölderivate eingeben"));
    CBRZaktiv->setAccessibleDescription(
        QString::fromUtf8("Schaltet die Eingabe der Rußzahlen und der Ölderivate ein oder aus"));

    Image->setAccessibleDescription(
        QString::fromUtf8("Neue Gerätesuche mit Doppelklick, Leertaste, Eingabetaste oder F5"));
    BtExit->setAccessibleDescription(QString::fromUtf8(
        "Übergibt Messwerte und Eingaben an das aufrufende Programm und beendet Fumilink"));
    BTBreak->setAccessibleDescription(
        QString::fromUtf8("Beendet Fumilink, ohne Daten zu übergeben"));
    BtWastun->setAccessibleDescription(QStringLiteral("Zeigt die Hilfe zum aktuellen Problem"));
    USBLabel->setAccessibleDescription(kUsbLabelDescription);
    for (QLabel* value : valueLabels_) {
        if (value != nullptr) {
            value->setAccessibleDescription(QString::fromUtf8("Messwert des Messgeräts"));
        }
    }
    StatusBar->setAccessibleName(QStringLiteral("Statusleiste"));

    // Left to right, top to bottom. Qt passes over what cannot be used at the moment: the
    // hidden "Was ist zu tun?", a disabled "Daten übernehmen", the smoke-number inputs
    // while they are switched off.
    setTabOrder(Image, BtWastun);
    setTabOrder(BtWastun, BTBreak);
    setTabOrder(BTBreak, BtExit);
    setTabOrder(BtExit, CBRZaktiv);
    setTabOrder(CBRZaktiv, SERZ1);
    setTabOrder(SERZ1, SERZ2);
    setTabOrder(SERZ2, SERZ3);
    setTabOrder(SERZ3, ElCBderivate);
    setTabOrder(ElCBderivate, SEWTT);
    // The window opens with the keyboard on "Abbrechen" as it always did (it would
    // otherwise be on the picture, where a stray Return starts a new search).
    BTBreak->setFocus();

    DispData(MeasurementRecord{});  // the value fields carry their names from the start
}
