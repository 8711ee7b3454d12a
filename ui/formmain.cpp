#include "ui/formmain.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QPalette>
#include <QPushButton>
#include <QShowEvent>
#include <initializer_list>
#include <string>

#include "data/channel_table.h"
#include "data/conversions.h"
#include "data/cp1252.h"
#include "ui/accessible_names.h"
#include "ui/compact_combo_style.h"
#include "ui/program_icon.h"
#include "ui/push_button.h"
#include "ui/ui_fonts.h"
#include "ui/ui_logging.h"
#include "ui/value_caption.h"
#include "ui/version_text.h"
#include "ui/window_placement.h"

// Resources of a static library are not registered by themselves: nothing references
// the generated initialiser, so the linker would drop it.
static void InitUiResources() {
    Q_INIT_RESOURCE(ui_resources);
}

namespace {

constexpr int kClientWidth = 515;
constexpr int kClientHeight = 286;
constexpr int kUsbLabelDesignWidth = 97;
// How far the identification label may grow: up to a little before "Abbrechen" (at 248),
// and while "Was ist zu tun?" covers it no further than that button reaches (44 + 197),
// so that nothing of it shows between the two.
constexpr int kUsbLabelLongestRight = 248 - 4 - 1;
constexpr int kUsbLabelCoveredRight = 44 + 197 - 1;
constexpr int kValuePixelSize = 24;

const QColor kBoxFill(0, 0, 64);
const QColor kValueText(255, 255, 0);
const QColor kGreen(0, 128, 0);
const QColor kMaroon(128, 0, 0);
const QColor kNavy(0, 0, 128);
const QColor kPurple(128, 0, 128);

QColor ButtonFace() {
    return QApplication::palette().color(QPalette::Button);
}

void SetTextColor(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Active, QPalette::WindowText, color);
    palette.setColor(QPalette::Inactive, QPalette::WindowText, color);
    widget->setPalette(palette);
}

void SetBackground(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, color);
    palette.setColor(QPalette::Button, color);
    widget->setPalette(palette);
}

// Labels size themselves to their text like the classic auto-size labels: they never
// shrink below the designed box, and a wider text grows them away from their aligned
// edge (right-aligned captions keep their right edge next to the value box).
void FitLabelToText(QLabel* label, QRect designed) {
    const int needed = label->fontMetrics().horizontalAdvance(label->text()) + 1;
    if (needed <= designed.width()) {
        label->setGeometry(designed);
    } else if (label->alignment() & Qt::AlignRight) {
        label->setGeometry(designed.right() + 1 - needed, designed.top(), needed,
                           designed.height());
    } else {
        label->setGeometry(designed.left(), designed.top(), needed, designed.height());
    }
}

// Design names as object names: automation and diagnostics find controls by them.
template <typename T>
T* Named(T* object, const char* name) {
    object->setObjectName(QLatin1String(name));
    return object;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, QRect rect,
                  const QFont& font, Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter) {
    auto* label = Named(new QLabel(text, parent), name);
    label->setFont(font);
    label->setAlignment(alignment);
    FitLabelToText(label, rect);
    return label;
}

QLabel* MakeCaption(QWidget* parent, const char* name, const QString& text, QRect rect,
                    const QColor& color, const QFont& font) {
    QLabel* label = MakeLabel(parent, name, text, rect, font, Qt::AlignRight | Qt::AlignVCenter);
    SetTextColor(label, color);
    return label;
}

TShape* MakeBox(QWidget* parent, const char* name, QRect rect) {
    auto* shape = Named(new TShape(parent), name);
    shape->SetBrushColor(kBoxFill);
    shape->setGeometry(rect);
    return shape;
}

QLabel* MakeValue(QWidget* parent, const char* name, QRect rect) {
    QLabel* label = MakeLabel(parent, name, QStringLiteral("-"), rect, UiFont(kValuePixelSize),
                              Qt::AlignRight | Qt::AlignVCenter);
    SetTextColor(label, kValueText);
    label->setAttribute(Qt::WA_TranslucentBackground);
    return label;
}

TSpinEdit* MakeSpinEdit(QWidget* parent, const char* name, QRect rect, double maximum,
                        double step) {
    auto* edit = Named(new TSpinEdit(parent), name);
    edit->setFont(UiFont(11, true));
    edit->setRange(0.0, maximum);
    edit->setSingleStep(step);
    edit->SetPageStep(10.0);
    edit->setValue(0.0);
    edit->setGeometry(rect);
    return edit;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text, QRect rect,
                        bool bold) {
    // As on Windows, Return and keypad Enter press the focused button (TButton). These
    // windows are no dialogs, so there is no default button that Enter would press from
    // elsewhere.
    auto* button = Named(new TButton(text, parent), name);
    button->setFont(UiFont(16, bold));
    button->setGeometry(rect);
    return button;
}

}  // namespace

TFormmain::TFormmain(WindowSetup setup, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      setup_(std::move(setup)) {
    InitUiResources();
    LoadUiFonts();
    BuildControls();
    DescribeControls();
    FormCreate();
    ConnectActions();
    new TShowPlacement(this, [this] { CenterOnScreen(); });
}

TFormmain::~TFormmain() = default;

void TFormmain::BuildControls() {
    setWindowTitle(QStringLiteral("Fumilink"));
    setWindowIcon(ProgramIcon());
    setFixedSize(kClientWidth, kClientHeight);
    setFont(UiFont(11));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, ButtonFace());
    setPalette(palette);
    setAutoFillBackground(true);

    for (int i = 0; i < 4; ++i) {
        BTImageList[i] = QPixmap(QStringLiteral(":/fumilink/connection%1.png").arg(i));
        if (BTImageList[i].isNull()) {
            BTImageList[i] = QPixmap(32, 44);
            BTImageList[i].fill(Qt::transparent);
        }
    }

    // Frames and boxes first: later siblings are drawn on top of earlier ones.
    Bevel1 = Named(new TBevel(this), "Bevel1");
    Bevel1->setGeometry(4, 56, 337, 197);
    Bevel2 = Named(new TBevel(this), "Bevel2");
    Bevel2->setGeometry(344, 56, 165, 141);
    Bevel3 = Named(new TBevel(this), "Bevel3");
    Bevel3->setGeometry(344, 200, 165, 53);

    Shape1 = MakeBox(this, "Shape1", {52, 64, 113, 31});
    Shape2 = MakeBox(this, "Shape2", {52, 100, 113, 31});
    Shape3 = MakeBox(this, "Shape3", {52, 136, 113, 31});
    Shape4 = MakeBox(this, "Shape4", {52, 172, 113, 31});
    Shape11 = MakeBox(this, "Shape11", {52, 208, 113, 31});
    Shape5 = MakeBox(this, "Shape5", {208, 64, 121, 31});
    Shape6 = MakeBox(this, "Shape6", {208, 100, 121, 31});
    Shape7 = MakeBox(this, "Shape7", {208, 136, 121, 31});
    Shape8 = MakeBox(this, "Shape8", {208, 172, 121, 31});
    Shape12 = MakeBox(this, "Shape12", {208, 208, 121, 31});

    labelTL = MakeValue(this, "labelTL", {56, 65, 105, 29});
    LabelTg = MakeValue(this, "LabelTg", {56, 101, 105, 29});
    Labelqa = MakeValue(this, "Labelqa", {56, 135, 105, 29});
    Labellambda = MakeValue(this, "Labellambda", {56, 171, 105, 29});
    Labeleta = MakeValue(this, "Labeleta", {56, 207, 105, 29});
    LabelO2 = MakeValue(this, "LabelO2", {212, 65, 113, 29});
    LabelCo2 = MakeValue(this, "LabelCo2", {212, 101, 113, 29});
    LabelCo = MakeValue(this, "LabelCo", {212, 137, 113, 29});
    Labelno = MakeValue(this, "Labelno", {212, 173, 113, 29});
    LabelP = MakeValue(this, "LabelP", {212, 207, 113, 29});

    const QFont caption = UiFont(16, true);
    Label1 = MakeCaption(this, "Label1", QStringLiteral("T-VL"), {9, 74, 39, 20}, kGreen, caption);
    Label2 = MakeCaption(this, "Label2", QStringLiteral("TG"), {23, 110, 25, 20}, kGreen, caption);
    Label3 = MakeCaption(this, "Label3", QStringLiteral("qA"), {25, 144, 23, 20}, kMaroon, caption);
    label4 = MakeCaption(this, "label4", QString(QChar(0x03BB)), {38, 180, 10, 20}, kMaroon,
                         GreekFont(16, true));
    label9 = MakeCaption(this, "label9", QString(QChar(0x03B7)), {37, 216, 11, 20}, kMaroon,
                         GreekFont(16, true));
    Label5 = MakeCaption(this, "Label5", QStringLiteral("O2"), {180, 74, 24, 20}, kNavy, caption);
    Label6 = MakeCaption(this, "Label6", QStringLiteral("CO2"), {168, 110, 36, 20}, kNavy, caption);
    Label7 = MakeCaption(this, "Label7", QStringLiteral("CO"), {178, 146, 26, 20}, kNavy, caption);
    Label8 = MakeCaption(this, "Label8", QStringLiteral("NO"), {178, 180, 26, 20}, kNavy, caption);
    Label10 =
        MakeCaption(this, "Label10", QStringLiteral("p"), {189, 212, 11, 20}, kPurple, caption);

    const QFont text16 = UiFont(16);
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    LBRZ1 =
        MakeLabel(this, "LBRZ1", QString::fromUtf8("Rußzahl 1"), {352, 70, 73, 20}, text16, right);
    LBRZ2 =
        MakeLabel(this, "LBRZ2", QString::fromUtf8("Rußzahl 2"), {352, 102, 73, 20}, text16, right);
    LBRZ3 =
        MakeLabel(this, "LBRZ3", QString::fromUtf8("Rußzahl 3"), {352, 134, 73, 20}, text16, right);
    Lderivate =
        MakeLabel(this, "Lderivate", QString::fromUtf8("Ölderivate?"), {352, 168, 80, 20}, text16);
    Label12 =
        MakeLabel(this, "Label12", QStringLiteral("T-Kessel"), {353, 214, 61, 20}, text16, right);
    Label13 = MakeLabel(this, "Label13", QString::fromUtf8("°C"), {485, 214, 16, 20}, text16);
    USBLabel = MakeLabel(this, "USBLabel", QString::fromUtf8("Suche läuft ..."),
                         {48, 16, kUsbLabelDesignWidth, 20}, text16);
    identification_ = USBLabel->text();

    Image = Named(new TImage(this), "Image");
    Image->setGeometry(8, 8, 32, 44);

    // Windowed controls lie above every label and frame.
    BtWastun =
        MakeButton(this, "BtWastun", QStringLiteral("Was ist zu tun?"), {44, 12, 197, 29}, true);
    BTBreak = MakeButton(this, "BTBreak", QStringLiteral("Abbrechen"), {248, 12, 93, 29}, false);
    BtExit = MakeButton(this, "BtExit", QString::fromUtf8("Daten übernehmen"), {344, 12, 165, 29},
                        false);

    SERZ1 = MakeSpinEdit(this, "SERZ1", {436, 68, 49, 21}, 10.0, 0.5);
    SERZ2 = MakeSpinEdit(this, "SERZ2", {436, 100, 49, 21}, 10.0, 0.5);
    SERZ3 = MakeSpinEdit(this, "SERZ3", {436, 132, 49, 21}, 10.0, 0.5);

    ElCBderivate = Named(new QComboBox(this), "ElCBderivate");
    ElCBderivate->setFont(UiFont(11, true));
    // A plain (not editable) list opens wherever it is clicked, like the classic drop-down
    // list; its style right-aligns the shown item.
    auto* comboStyle = new TCompactComboStyle(14, Qt::AlignRight | Qt::AlignVCenter);
    comboStyle->setParent(ElCBderivate);
    ElCBderivate->setStyle(comboStyle);
    ElCBderivate->setGeometry(436, 168, 49, 21);

    SEWTT = MakeSpinEdit(this, "SEWTT", {424, 214, 61, 21}, 120.0, 0.1);

    // The check box sits on the upper edge of its frame, above the frame's line.
    CBRZaktiv = Named(new QCheckBox(this), "CBRZaktiv");
    CBRZaktiv->setGeometry(348, 48, 17, 17);
    CBRZaktiv->setAutoFillBackground(true);
    connect(CBRZaktiv, &QCheckBox::clicked, this, [this] { CBRZaktivClick(); });

    StatusBar = Named(new QFrame(this), "StatusBar");
    StatusBar->setGeometry(0, 260, kClientWidth, 26);
    StatusPanel0 = MakeLabel(StatusBar, "StatusPanel0", QString(), {0, 2, 80, 24}, text16);
    StatusPanel1 =
        MakeLabel(StatusBar, "StatusPanel1", QString(), {82, 2, kClientWidth - 82, 24}, text16);
    for (QLabel* panel : {StatusPanel0, StatusPanel1}) {
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setIndent(2);
    }

    BtExit->setEnabled(false);
    BtWastun->setVisible(false);
    SetSmokeInputsEnabled(false);
    FindValueLabels();
}

void TFormmain::FindValueLabels() {
    for (const ChannelInfo& info : kChannelTable) {
        if (info.valueLabel != nullptr) {
            valueLabels_[static_cast<size_t>(info.channel - 1)] =
                findChild<QLabel*>(QLatin1String(info.valueLabel), Qt::FindDirectChildrenOnly);
        }
    }
}

void TFormmain::FormCreate() {
    // The firing type is all the window keeps of the command line; the rest goes to the
    // take-over with the link.
    const std::string& firingType = setup_.link.commandLine.firingTypeParameter;
    smokeNumbersWanted_ = firingType == "1" || firingType == "7" || firingType == "14";
    // The link makes the serial port component, its timers (the time-out timer runs from
    // now on), the measurement record and the empty debug log.
    Link = new DeviceLink(*this, std::move(setup_.link), this);
    Link->setObjectName(QStringLiteral("Link"));
    setWindowTitle(windowTitle() + QStringLiteral(" ") + QString::fromLatin1(kVersionText));
    if (setup_.demo) {
        // No screenshot of a demo may pass for a measurement.
        setWindowTitle(windowTitle() + QStringLiteral(" - DEMO"));
    }
    ShowConnectionPicture(0);
    StatusPanel0->setText(QStringLiteral("Status:"));
    SetStatusMessage(QString::fromUtf8("Gerätesuche ..."));
    SEWTT->setValue(60.0);
    ElCBderivate->clear();
    ElCBderivate->addItem(QStringLiteral("Nein"));
    ElCBderivate->addItem(QStringLiteral("Ja"));
    for (int i = 0; i < ElCBderivate->count(); ++i) {
        ElCBderivate->setItemData(i, int(Qt::AlignRight | Qt::AlignVCenter), Qt::TextAlignmentRole);
    }
    ElCBderivate->setCurrentIndex(0);
    // Qt reports only user clicks through clicked(), so checking the box here does not
    // run CBRZaktivClick: the inputs stay disabled until FormShow decides.
    CBRZaktiv->setChecked(true);
}

void TFormmain::DispData(const MeasurementRecord& record) {
    for (const ChannelInfo& info : kChannelTable) {
        QLabel* const label = valueLabels_[static_cast<size_t>(info.channel - 1)];
        if (label == nullptr) {
            continue;
        }
        QString caption = QStringLiteral("-");
        if (record.Valid(info.channel)) {
            const std::string number = FormatFixed(0, info.decimals, record.Value(info.channel));
            caption = QString::fromLatin1(number.c_str());
            if (*info.unit != '\0') {
                caption += QLatin1Char(' ') + QString::fromStdString(Cp1252ToUtf8(info.unit));
            }
        }
        SetValueCaption(label, caption, kValuePixelSize);
        NameValueField(label, ValueFieldQuantity(info));
    }
}

void TFormmain::SetSmokeInputsEnabled(bool enabled) {
    const QColor background = enabled ? QColor(255, 255, 255) : ButtonFace();
    for (TSpinEdit* edit : {SERZ1, SERZ2, SERZ3}) {
        edit->setEnabled(enabled);
        SetBackground(edit, background);
    }
    for (QWidget* widget :
         std::initializer_list<QWidget*>{LBRZ1, LBRZ2, LBRZ3, Lderivate, ElCBderivate}) {
        widget->setEnabled(enabled);
    }
    SetBackground(ElCBderivate, background);
}

void TFormmain::CBRZaktivClick() {
    SetSmokeInputsEnabled(CBRZaktiv->isChecked());
}

void TFormmain::SetStatusMessage(const QString& text) {
    // The poll tick repeats its status ten times a second; a screen reader hears changes.
    if (text == StatusPanel1->text()) {
        return;
    }
    // In the session record too: support reads what the technician saw, and the tests of
    // the Windows program, which cannot read the window's texts under Wine, read it there.
    qCInfo(lcUi).noquote() << "status:" << text;
    StatusPanel1->setText(text);
    TellNewStatus(StatusPanel1);
}

void TFormmain::ShowMeanFill(int filled, int window) {
    const QString text = window > 0 ? QStringLiteral("Mittel %1/%2 s").arg(filled).arg(window)
                                    : QStringLiteral("Status:");
    if (text == StatusPanel0->text()) {
        return;
    }
    StatusPanel0->setText(text);
    // The panel keeps its width, so that no control moves; a text wider than "Status:" is
    // drawn smaller until it fits.
    int pixels = 16;
    QFont font = UiFont(pixels);
    const int room = StatusPanel0->contentsRect().width() - 2 * StatusPanel0->indent();
    while (pixels > 9 && QFontMetrics(font).horizontalAdvance(text) > room) {
        font = UiFont(--pixels);
    }
    StatusPanel0->setFont(font);
    // A name that says what the numbers count; the text itself changes every second, and
    // a screen reader reads it when asked, not at every change.
    StatusPanel0->setAccessibleName(
        window > 0 ? QStringLiteral("Mittelwert über %1 Sekunden").arg(window) : QString());
    StatusPanel0->setAccessibleDescription(
        window > 0 ? QString::fromUtf8("Sekunden ununterbrochener Messwerte im Mittelwert")
                   : QString());
}

QString TFormmain::StatusMessage() const {
    return StatusPanel1->text();
}

void TFormmain::ShowConnectionPicture(int n) {
    // The error display shows its picture on every poll tick; putting the same picture in
    // again would repaint it (and what lies behind it) ten times a second for nothing.
    if (n < 0 || n >= static_cast<int>(BTImageList.size()) || n == picture_) {
        return;
    }
    Image->clear();
    Image->setPixmap(BTImageList[n]);
    Image->setAccessibleName(ConnectionPictureName(n));
    picture_ = n;
}

QString TFormmain::IdentificationLabel() const {
    return identification_;
}

void TFormmain::SetIdentificationLabel(const QString& text) {
    identification_ = text;
    ShowIdentification();
}

void TFormmain::ShowIdentification() {
    const QString& text = identification_;
    const int right = BtWastun->isHidden() ? kUsbLabelLongestRight : kUsbLabelCoveredRight;
    const int longest = right + 1 - USBLabel->x();
    // FitLabelToText's one pixel of room, so that the elided text is drawn whole.
    const QString shown = USBLabel->fontMetrics().elidedText(text, Qt::ElideRight, longest - 1);
    USBLabel->setText(shown);
    FitLabelToText(USBLabel,
                   QRect(USBLabel->x(), USBLabel->y(), kUsbLabelDesignWidth, USBLabel->height()));
    if (USBLabel->width() > longest) {
        USBLabel->resize(longest, USBLabel->height());
    }
    // The whole identification for whoever points at it or reads it out.
    const bool elided = shown != text;
    USBLabel->setToolTip(elided ? text : QString());
    USBLabel->setAccessibleDescription(elided ? text : kUsbLabelDescription);
}

void TFormmain::SetBtExitEnabled(bool enabled) {
    BtExit->setEnabled(enabled);
}

void TFormmain::SetBtWastunVisible(bool visible) {
    BtWastun->setVisible(visible);
    ShowIdentification();
}

double TFormmain::BoilerTemperature() const {
    return SEWTT->TakeTypedValue();
}

double TFormmain::SmokeNumber(int n) const {
    switch (n) {
        case 1:
            return SERZ1->TakeTypedValue();
        case 2:
            return SERZ2->TakeTypedValue();
        case 3:
            return SERZ3->TakeTypedValue();
        default:
            return 0.0;
    }
}

bool TFormmain::SmokeInputsActive() const {
    return CBRZaktiv->isChecked();
}

int TFormmain::DerivateIndex() const {
    return ElCBderivate->currentIndex();
}

ManualEntries TFormmain::ManualEntriesNow() const {
    return {BoilerTemperature(), SmokeNumber(1),      SmokeNumber(2),
            SmokeNumber(3),      SmokeInputsActive(), DerivateIndex()};
}

void TFormmain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!shownOnce_ && !event->spontaneous()) {
        shownOnce_ = true;
        emit firstShown();
    }
}

void TFormmain::CenterOnScreen() {
    PlaceFrame(this, CentredIn(frameGeometry().size(), AvailableArea(this)));
}
