#include "ui/help_window.h"

#include <QDir>
#include <QEvent>
#include <QKeyEvent>
#include <QPalette>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <string>
#include <vector>

#include "config/record_location.h"
#include "data/conversions.h"
#include "data/cp1252.h"
#include "ui/help_pages.h"
#include "ui/push_button.h"
#include "ui/shell_open.h"
#include "ui/ui_fonts.h"
#include "ui/ui_logging.h"
#include "ui/window_placement.h"

namespace {
constexpr int kPanelHeight = 41;
constexpr int kButtonWidth = 80;
// "kein Messgerät gefunden - bitte Einschalten!": where a port the user may not open is named.
constexpr int kNoDevicePage = 3;
/// The link at the end of every page that opens the folder of the session records.
constexpr const char* kRecordsLink = "fumilink:records";
}  // namespace

TForm1::TForm1(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    LoadUiFonts();
    // Closing the help window only hides it; the program ends with the main window alone.
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("Hilfe"));
    setFont(UiFont(11));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Button));
    setPalette(palette);
    setAutoFillBackground(true);

    HTMLView = new QTextBrowser(this);
    HTMLView->setFont(UiFont(16));
    HTMLView->setOpenLinks(false);
    HTMLView->setOpenExternalLinks(false);
    HTMLView->setLineWrapMode(QTextEdit::WidgetWidth);
    HTMLView->verticalScrollBar()->setSingleStep(16);
    connect(HTMLView, &QTextBrowser::anchorClicked, this,
            [this](const QUrl& url) { LinkClick(url); });

    Panel1 = new QFrame(this);
    static_cast<QFrame*>(Panel1)->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setFixedHeight(kPanelHeight);
    Panel1->installEventFilter(this);

    // Return presses it when it has the focus, as on Windows (TButton).
    BitBtn1 = new TButton(QStringLiteral("OK"), Panel1);
    BitBtn1->setFont(UiFont(13));
    BitBtn1->setGeometry(0, 8, kButtonWidth, 25);
    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });

    HTMLView->setObjectName(QStringLiteral("HTMLView"));
    Panel1->setObjectName(QStringLiteral("Panel1"));
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    // For screen readers: the page view is read-only text whose links Tab selects one by
    // one (Qt's own text browser keys) and Return opens.
    HTMLView->setAccessibleName(QStringLiteral("Hilfetext"));
    HTMLView->setAccessibleDescription(QString::fromUtf8(
        "Tab wählt den nächsten Verweis, die Eingabetaste öffnet ihn, Escape schließt die Hilfe"));
    BitBtn1->setAccessibleDescription(QString::fromUtf8("Schließt die Hilfe"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(HTMLView, 1);
    layout->addWidget(Panel1);

    // Designed outer size 600 x 409 with a sizeable border: a client area of 592 x 382,
    // of which the page view takes 592 x 341.
    resize(592, 341 + kPanelHeight);
    move(490, 297);
    // The designed place, unless that would put part of the window off the screen (a
    // small screen, a large scale factor): then just far enough in to lie on it.
    new TShowPlacement(this, [this] {
        const QRect frame = frameGeometry();
        const QRect inside = MovedInside(frame, AvailableArea(this));
        if (inside != frame) {
            PlaceFrame(this, inside);
        }
    });
    HTMLView->setHtml(PageHtml(page_));
    Panel1Resize();
}

void TForm1::ZeigeHilfeText(int32_t code) {
    if (code < 0 || code > 7) {
        return;
    }
    setWindowTitle(QStringLiteral("Was ist zu tun? (") +
                   QString::fromLatin1(IntToStrPad(code, 0).c_str()) + QStringLiteral(")"));
    // The error display selects the page on every poll tick: loading it again each time
    // would throw the reader back to the top and parse the page ten times a second.
    if (code != page_) {
        page_ = code;
        if (isVisible()) {
            qCInfo(lcUi).noquote() << QStringLiteral("help window shows page %1").arg(page_);
        }
        HTMLView->setHtml(PageHtml(page_));
    }
}

void TForm1::SetPortsWithoutPermission(const QStringList& ports) {
    if (ports == portsWithoutPermission_) {
        return;
    }
    portsWithoutPermission_ = ports;
    if (page_ == kNoDevicePage) {
        HTMLView->setHtml(PageHtml(page_));
    }
}

void TForm1::SetRecordFolder(const QString& folder) {
    recordFolder_ = folder;
    recordFolderFailed_ = false;
    HTMLView->setHtml(PageHtml(page_));
}

QString TForm1::RecordFolder() const {
    return recordFolder_ ? *recordFolder_ : QString::fromStdString(SessionRecordFolder());
}

QString TForm1::RecordsHtml() const {
    const QString folder = RecordFolder();
    if (folder.isEmpty()) {
        return QString::fromUtf8(
            "<P>Für den Support: Auf diesem PC schreibt Fumilink keine Sitzungsprotokolle.</P>");
    }
    // The folder by name too: where no file manager opens it, the user can still tell
    // support where the file lies, or go there.
    QString html =
        QString::fromUtf8(
            "<P>Für den Support: <A HREF=\"%1\">Ordner mit den Sitzungsprotokollen "
            "öffnen</A> (ein Protokoll je Programmstart)<BR>Ordner: %2</P>")
            .arg(QLatin1String(kRecordsLink), QDir::toNativeSeparators(folder).toHtmlEscaped());
    if (recordFolderFailed_) {
        html += QString::fromUtf8(
            "<P>Der Ordner lässt sich auf diesem PC nicht öffnen: Es ist kein Dateimanager "
            "dafür eingerichtet. Öffnen Sie den oben genannten Ordner bitte selbst.</P>");
    }
    return html;
}

QString TForm1::PageHtml(int page) const {
    // Every page ends with the way to what support asks for after a call.
    const QString html = QString::fromUtf8(HelpPages()[page]) + RecordsHtml();
    if (page != kNoDevicePage || portsWithoutPermission_.isEmpty()) {
        return html;
    }
    std::vector<std::string> ports;
    for (const QString& port : portsWithoutPermission_) {
        ports.push_back(port.toStdString());
    }
    return QString::fromStdString(PortsWithoutPermissionHtml(ports)) + html;
}

void TForm1::LinkClick(const QUrl& HRef) {
    if (HRef.toString() == QLatin1String(kRecordsLink)) {
        const QString folder = RecordFolder();
        if (!folder.isEmpty() && !ShellOpenFolder(folder.toStdString()) && !recordFolderFailed_) {
            recordFolderFailed_ = true;
            HTMLView->setHtml(PageHtml(page_));
        }
        return;
    }
    ShellOpen(Utf8ToCp1252(HRef.toString().toStdString()));
}

void TForm1::BitBtn1Click() {
    hide();
}

void TForm1::Panel1Resize() {
    BitBtn1->move(Panel1->width() / 2 - kButtonWidth / 2, BitBtn1->y());
}

void TForm1::FormShow() {}

void TForm1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) {
        qCInfo(lcUi).noquote()
            << QStringLiteral("help window opens: page %1, \"%2\"").arg(page_).arg(windowTitle());
        // Otherwise the page view, first in the focus chain, takes it, and the view has no
        // use for Return.
        BitBtn1->setFocus(Qt::ActiveWindowFocusReason);
    }
}

void TForm1::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Cancel)) {
        BitBtn1Click();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Panel1 && event->type() == QEvent::Resize) {
        Panel1Resize();
    }
    return QWidget::eventFilter(watched, event);
}
