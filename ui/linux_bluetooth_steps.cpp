#include "ui/linux_bluetooth_steps.h"

#include <QApplication>
#include <QMessageBox>

#include "ui/help_pages.h"

QString LinuxBluetoothStepsHtml() {
    // ADRESSE stands for the analyser's Bluetooth address; the users type it themselves.
    const QString pairAndBind = QStringLiteral(
        "<P><FONT SIZE=4><B>ZOR Messgerät unter Linux anmelden</B></FONT></P>"
        "<P>Auf diesem Rechner ist keine Bluetooth-Einstellung der Arbeitsumgebung "
        "installiert. So melden Sie das Messgerät im Terminal an:</P>"
        "<OL>"
        "<LI>Schalten Sie das Messgerät ein. Starten Sie <TT>bluetoothctl</TT> und geben Sie "
        "dort <TT>power on</TT>, <TT>agent on</TT> und <TT>scan on</TT> ein.</LI>"
        "<LI>Warten Sie, bis ein Gerät erscheint, dessen Name mit <B>ZOR GX40</B> oder "
        "<B>ZOR 730</B> beginnt, und merken Sie sich seine Adresse (z.&nbsp;B. "
        "00:11:22:33:44:55). Geben Sie <TT>scan off</TT> und <TT>pair ADRESSE</TT> ein und "
        "tippen Sie den vierstelligen Hauptschlüssel (Passkey) aus der Bedienungsanleitung "
        "des Messgeräts ein. Dann <TT>trust ADRESSE</TT> und <TT>quit</TT>.</LI>"
        "<LI>Legen Sie als Administrator die serielle Verbindung an: <TT>rfcomm bind 0 "
        "ADRESSE 1</TT>. Daraus wird <TT>/dev/rfcomm0</TT>, in Fumilink <B>COM5</B> "
        "(<TT>/dev/rfcomm1</TT> ist COM6 usw.). Nach einem Neustart ist das erneut "
        "nötig.</LI>");
    const QString checkAndSearch = QStringLiteral(
        "<LI>Prüfen Sie die Verbindung: <TT>printf 'R001\\n' | socat -t2 - "
        "/dev/rfcomm0,raw,echo=0,cr</TT> antwortet mit <B>ZOR ...</B>.</LI>"
        "<LI>Doppelklicken Sie auf das Bluetooth-Symbol oben links im Hauptfenster, um eine "
        "neue Suche zu starten.</LI>"
        "</OL>"
        "<P>Mehr dazu: <TT>man fumilink</TT>.</P>");
    return pairAndBind + QStringLiteral("<LI>") + QString::fromUtf8(LinuxPortAccessHtml()) +
           QStringLiteral("</LI>") + checkAndSearch;
}

QWidget* ShowLinuxBluetoothSteps() {
    auto* box =
        new QMessageBox(QMessageBox::Information, QStringLiteral("Bluetooth unter Linux"),
                        LinuxBluetoothStepsHtml(), QMessageBox::Ok, QApplication::activeWindow());
    box->setTextFormat(Qt::RichText);
    box->setTextInteractionFlags(Qt::TextSelectableByMouse);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
    return box;
}
