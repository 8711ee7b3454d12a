#include "ui/help_pages.h"

#include <string>

namespace {

// The headline's size is an HTML size step (1..7, 3 = body text): step 4 gives 1.2
// times the body's 16 pixels, about 16 points.
std::string Headline(const char* text) {
    return std::string("<FONT SIZE=4><B>") + text + "</B></FONT>";
}

const char* const kPairingGuide = R"(<P>So melden Sie das Messgerät einmalig am PC an:</P>
<OL>
<LI>Schalten Sie die Bluetooth-Schnittstelle des PCs ein.</LI>
<LI>Öffnen Sie die <B>Systemsteuerung</B> (Start &gt; Systemsteuerung).</LI>
<LI>Doppelklicken Sie auf das Symbol <A HREF="bthprops.cpl">Bluetooth-Geräte</A>.</LI>
<LI>Klicken Sie auf <B>Hinzufügen</B>.</LI>
<LI>Schalten Sie das Messgerät ein und kreuzen Sie <B>Gerät ist eingerichtet und kann erkannt werden</B> an. Klicken Sie auf <B>Weiter</B>.</LI>
<LI>Wählen Sie nach der Suche den Eintrag, dessen Name mit <B>ZOR GX40</B> oder <B>ZOR 730</B> beginnt, gefolgt von der Seriennummer Ihres Messgeräts. Klicken Sie auf <B>Weiter</B>.</LI>
<LI>Wählen Sie <B>Hauptschlüssel aus der Dokumentation verwenden</B> und geben Sie den vierstelligen Hauptschlüssel (Passkey) ein, den die Bedienungsanleitung des Messgeräts nennt.</LI>
<LI>Das Gerät wird angemeldet. Beenden Sie den Assistenten mit <B>Fertig stellen</B>.</LI>
<LI>Beenden Sie Fumilink mit der Schaltfläche <B>Abbrechen</B> und starten Sie es erneut.</LI>
</OL>
)";

const char* const kNoPort =
    R"(<P>Es wurde keine Schnittstelle (COM-Port) gefunden, über die das Messgerät erreichbar ist.</P>
<UL>
<LI>Schalten Sie den Bluetooth-Adapter des PCs ein.<BR>
<U>Hinweis:</U> Manche Hersteller haben am Gehäuse einen Schalter, der Funkgeräte (WLAN, Bluetooth) in der Hardware abschaltet.</LI>
<LI>Starten Sie den Computer neu.</LI>
</UL>
)";

const char* const kNoReply = R"(<P>Schalten Sie das Messgerät Tarvo730 bzw. GX40 ein.</P>
<P><U>Vorschläge:</U></P>
<UL>
<LI>Befindet sich das Messgerät in Reichweite des Computers?</LI>
<LI>Löschen Sie das Bluetooth-Gerät GX40 bzw. Tarvo730 in der Systemsteuerung unter <B>Bluetooth-Geräte</B> aus der Liste und fügen Sie es neu hinzu.</LI>
</UL>
)";

const char* const kNotFound = R"(<P>Schalten Sie das Messgerät Tarvo730 bzw. GX40 ein.</P>
<P><U>Vorschläge:</U></P>
<UL>
<LI>Doppelklicken Sie auf das Bluetooth-Symbol oben links im Hauptfenster, um eine neue Suche zu starten.</LI>
<LI>Wird das Gerät wieder nicht gefunden, prüfen Sie, ob sich das Messgerät in Reichweite des Computers befindet, oder löschen Sie das Gerät in der Systemsteuerung unter <B>Bluetooth-Geräte</B> aus der Liste und fügen Sie es neu hinzu.</LI>
</UL>
)";

const char* const kPortBusy =
    R"(<P>Eine andere Anwendung kommuniziert bereits über die angeforderte Verbindung.</P>
<UL>
<LI>Beenden Sie diese Anwendung und starten Sie dieses Programm erneut, oder doppelklicken Sie auf das Bluetooth-Symbol oben links, um eine neue Suche zu starten.</LI>
<LI>Starten Sie den PC neu und versuchen Sie erneut, eine Verbindung herzustellen.</LI>
<LI>Löschen Sie das Gerät in der Systemsteuerung unter <B>Bluetooth-Geräte</B> aus der Liste und fügen Sie es neu hinzu.</LI>
</UL>
)";

// README "A Bluetooth analyser on Linux", step 3.
const char* const kLinuxPortAccess =
    "Erlauben Sie Ihrem Benutzer den Zugriff: <TT>adduser BENUTZER dialout</TT> (als "
    "Administrator) und neu anmelden, oder die udev-Regel <TT>70-fumilink-rfcomm.rules</TT> "
    "aus <TT>/usr/share/doc/fumilink/examples/</TT> nach <TT>/etc/udev/rules.d/</TT> kopieren, "
    "<TT>udevadm control --reload</TT> ausführen und die Verbindung neu anlegen "
    "(<TT>rfcomm release 0</TT>, dann <TT>rfcomm bind 0 ADRESSE 1</TT>).";

std::string EscapedHtml(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

const char* const kUserAbort = R"(<P>Sie haben <B>Abbrechen</B> gewählt.</P>
<P>Der Vorgang wurde auf Ihren Wunsch beendet; es werden keine Messdaten übernommen.</P>
)";

}  // namespace

const char* LinuxPortAccessHtml() {
    return kLinuxPortAccess;
}

std::string PortsWithoutPermissionHtml(const std::vector<std::string>& ports) {
    std::string named;
    for (size_t i = 0; i < ports.size(); ++i) {
        if (i > 0) {
            named += i + 1 == ports.size() ? " und " : ", ";
        }
        named += "<B>" + EscapedHtml(ports[i]) + "</B>";
    }
    return Headline("Kein Zugriff auf die Schnittstelle") + "<P>Ihr Benutzer darf " + named +
           " nicht öffnen. Dort kann Fumilink das Messgerät nicht finden, auch wenn es "
           "eingeschaltet ist.</P>\n<P>" +
           kLinuxPortAccess +
           " Doppelklicken Sie danach auf das Bluetooth-Symbol oben links im Hauptfenster, um "
           "eine neue Suche zu starten.</P>\n";
}

const std::array<const char*, 8>& HelpPages() {
    static const char* const kPairing =
        "ZOR Messgerät mit Bluetoothmodul anmelden (Windows XP/Vista)";
    static const std::array<std::string, 8> texts = {
        Headline(kPairing) + kPairingGuide,
        Headline("Keinen funktionierenden COM-Port gefunden") + kNoPort,
        Headline("Keine Antwort vom Gerät erhalten") + kNoReply,
        Headline("Messgerät nicht gefunden") + kNotFound,
        Headline(kPairing) + kPairingGuide,
        Headline("COM-Port des PCs belegt") + kPortBusy,
        // The headline's spelling is the one the users know from earlier releases.
        Headline("Initialisierungsfehler der Schnittstellet") + kPortBusy,
        Headline("Benutzerabbruch") + kUserAbort,
    };
    static const std::array<const char*, 8> pages = [] {
        std::array<const char*, 8> result{};
        for (size_t i = 0; i < texts.size(); ++i) {
            result[i] = texts[i].c_str();
        }
        return result;
    }();
    return pages;
}
