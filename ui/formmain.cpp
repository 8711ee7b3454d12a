#include "ui/formmain.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QPalette>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "data/conversions.h"
#include "ui/compact_combo_style.h"
#include "ui/ui_fonts.h"
#include "ui/value_caption.h"
#include "ui/version_text.h"
#include "ui/window_placement.h"

TFormmain* Formmain = nullptr;

// Resources of a static library are not registered by themselves: nothing references
// the generated initialiser, so the linker would drop it.
static void InitUiResources() {
    Q_INIT_RESOURCE(ui_resources);
}

namespace {

constexpr int kClientWidth = 515;
constexpr int kClientHeight = 286;
constexpr int kUsbLabelDesignWidth = 97;
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

QLabel* MakeLabel(QWidget* parent, const QString& text, QRect rect, const QFont& font,
                  Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter) {
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    label->setAlignment(alignment);
    FitLabelToText(label, rect);
    return label;
}

QLabel* MakeCaption(QWidget* parent, const QString& text, QRect rect, const QColor& color,
                    const QFont& font) {
    QLabel* label = MakeLabel(parent, text, rect, font, Qt::AlignRight | Qt::AlignVCenter);
    SetTextColor(label, color);
    return label;
}

TShape* MakeBox(QWidget* parent, QRect rect) {
    auto* shape = new TShape(parent);
    shape->SetBrushColor(kBoxFill);
    shape->setGeometry(rect);
    return shape;
}

QLabel* MakeValue(QWidget* parent, QRect rect) {
    QLabel* label = MakeLabel(parent, QStringLiteral("-"), rect, UiFont(kValuePixelSize),
                              Qt::AlignRight | Qt::AlignVCenter);
    SetTextColor(label, kValueText);
    label->setAttribute(Qt::WA_TranslucentBackground);
    return label;
}

TSpinEdit* MakeSpinEdit(QWidget* parent, QRect rect, double maximum, double step) {
    auto* edit = new TSpinEdit(parent);
    edit->setFont(UiFont(11, true));
    edit->setRange(0.0, maximum);
    edit->setSingleStep(step);
    edit->SetPageStep(10.0);
    edit->setValue(0.0);
    edit->setGeometry(rect);
    return edit;
}

QPushButton* MakeButton(QWidget* parent, const QString& text, QRect rect, bool bold) {
    auto* button = new QPushButton(text, parent);
    button->setFont(UiFont(16, bold));
    button->setGeometry(rect);
    // As on Windows, Return and keypad Enter press the focused button. These windows are
    // no dialogs, so there is no default button that Enter would press from elsewhere.
    button->setAutoDefault(true);
    return button;
}

}  // namespace

TFormmain::TFormmain(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint) {
    Formmain = this;
    InitUiResources();
    LoadUiFonts();
    BuildControls();
    FormCreate();
    ConnectActions();
    new TShowPlacement(this, [this] { CenterOnScreen(); });
}

TFormmain::~TFormmain() {
    if (Formmain == this) {
        Formmain = nullptr;
    }
}

void TFormmain::BuildControls() {
    setWindowTitle(QStringLiteral("Fumilink"));
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
    Bevel1 = new TBevel(this);
    Bevel1->setGeometry(4, 56, 337, 197);
    Bevel2 = new TBevel(this);
    Bevel2->setGeometry(344, 56, 165, 141);
    Bevel3 = new TBevel(this);
    Bevel3->setGeometry(344, 200, 165, 53);

    Shape1 = MakeBox(this, {52, 64, 113, 31});
    Shape2 = MakeBox(this, {52, 100, 113, 31});
    Shape3 = MakeBox(this, {52, 136, 113, 31});
    Shape4 = MakeBox(this, {52, 172, 113, 31});
    Shape11 = MakeBox(this, {52, 208, 113, 31});
    Shape5 = MakeBox(this, {208, 64, 121, 31});
    Shape6 = MakeBox(this, {208, 100, 121, 31});
    Shape7 = MakeBox(this, {208, 136, 121, 31});
    Shape8 = MakeBox(this, {208, 172, 121, 31});
    Shape12 = MakeBox(this, {208, 208, 121, 31});

    labelTL = MakeValue(this, {56, 65, 105, 29});
    LabelTg = MakeValue(this, {56, 101, 105, 29});
    Labelqa = MakeValue(this, {56, 135, 105, 29});
    Labellambda = MakeValue(this, {56, 171, 105, 29});
    Labeleta = MakeValue(this, {56, 207, 105, 29});
    LabelO2 = MakeValue(this, {212, 65, 113, 29});
    LabelCo2 = MakeValue(this, {212, 101, 113, 29});
    LabelCo = MakeValue(this, {212, 137, 113, 29});
    Labelno = MakeValue(this, {212, 173, 113, 29});
    LabelP = MakeValue(this, {212, 207, 113, 29});

    const QFont caption = UiFont(16, true);
    Label1 = MakeCaption(this, QStringLiteral("T-VL"), {9, 74, 39, 20}, kGreen, caption);
    Label2 = MakeCaption(this, QStringLiteral("TG"), {23, 110, 25, 20}, kGreen, caption);
    Label3 = MakeCaption(this, QStringLiteral("qA"), {25, 144, 23, 20}, kMaroon, caption);
    label4 =
        MakeCaption(this, QString(QChar(0x03BB)), {38, 180, 10, 20}, kMaroon, GreekFont(16, true));
    label9 =
        MakeCaption(this, QString(QChar(0x03B7)), {37, 216, 11, 20}, kMaroon, GreekFont(16, true));
    Label5 = MakeCaption(this, QStringLiteral("O2"), {180, 74, 24, 20}, kNavy, caption);
    Label6 = MakeCaption(this, QStringLiteral("CO2"), {168, 110, 36, 20}, kNavy, caption);
    Label7 = MakeCaption(this, QStringLiteral("CO"), {178, 146, 26, 20}, kNavy, caption);
    Label8 = MakeCaption(this, QStringLiteral("NO"), {178, 180, 26, 20}, kNavy, caption);
    Label10 = MakeCaption(this, QStringLiteral("p"), {189, 212, 11, 20}, kPurple, caption);

    const QFont text16 = UiFont(16);
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    LBRZ1 = MakeLabel(this, QString::fromUtf8("Rußzahl 1"), {352, 70, 73, 20}, text16, right);
    LBRZ2 = MakeLabel(this, QString::fromUtf8("Rußzahl 2"), {352, 102, 73, 20}, text16, right);
    LBRZ3 = MakeLabel(this, QString::fromUtf8("Rußzahl 3"), {352, 134, 73, 20}, text16, right);
    Lderivate = MakeLabel(this, QString::fromUtf8("Ölderivate?"), {352, 168, 80, 20}, text16);
    Label12 = MakeLabel(this, QStringLiteral("T-Kessel"), {353, 214, 61, 20}, text16, right);
    Label13 = MakeLabel(this, QString::fromUtf8("°C"), {485, 214, 16, 20}, text16);
    USBLabel = MakeLabel(this, QString::fromUtf8("Suche läuft ..."),
                         {48, 16, kUsbLabelDesignWidth, 20}, text16);

    Image = new TImage(this);
    Image->setGeometry(8, 8, 32, 44);

    // Windowed controls lie above every label and frame.
    BtWastun = MakeButton(this, QStringLiteral("Was ist zu tun?"), {44, 12, 197, 29}, true);
    BTBreak = MakeButton(this, QStringLiteral("Abbrechen"), {248, 12, 93, 29}, false);
    BtExit = MakeButton(this, QString::fromUtf8("Daten übernehmen"), {344, 12, 165, 29}, false);

    SERZ1 = MakeSpinEdit(this, {436, 68, 49, 21}, 10.0, 0.5);
    SERZ2 = MakeSpinEdit(this, {436, 100, 49, 21}, 10.0, 0.5);
    SERZ3 = MakeSpinEdit(this, {436, 132, 49, 21}, 10.0, 0.5);

    ElCBderivate = new QComboBox(this);
    ElCBderivate->setFont(UiFont(11, true));
    // A plain (not editable) list opens wherever it is clicked, like the classic drop-down
    // list; its style right-aligns the shown item.
    auto* comboStyle = new TCompactComboStyle(14, Qt::AlignRight | Qt::AlignVCenter);
    comboStyle->setParent(ElCBderivate);
    ElCBderivate->setStyle(comboStyle);
    ElCBderivate->setGeometry(436, 168, 49, 21);

    SEWTT = MakeSpinEdit(this, {424, 214, 61, 21}, 120.0, 0.1);

    // The check box sits on the upper edge of its frame, above the frame's line.
    CBRZaktiv = new QCheckBox(this);
    CBRZaktiv->setGeometry(348, 48, 17, 17);
    CBRZaktiv->setAutoFillBackground(true);
    connect(CBRZaktiv, &QCheckBox::clicked, this, [this] { CBRZaktivClick(); });

    StatusBar = new QFrame(this);
    StatusBar->setGeometry(0, 260, kClientWidth, 26);
    StatusPanel0 = MakeLabel(StatusBar, QString(), {0, 2, 80, 24}, text16);
    StatusPanel1 = MakeLabel(StatusBar, QString(), {82, 2, kClientWidth - 82, 24}, text16);
    for (QLabel* panel : {StatusPanel0, StatusPanel1}) {
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setIndent(2);
    }

    Timer1 = new QTimer(this);
    Timer1->setInterval(100);
    Timer2 = new QTimer(this);
    Timer2->setInterval(5000);
    Timeouttimer = new QTimer(this);
    Timeouttimer->setInterval(100);

    // Design names as object names: automation and diagnostics find controls by them.
    const std::pair<QObject*, const char*> names[] = {
        {Image, "Image"},
        {USBLabel, "USBLabel"},
        {BtWastun, "BtWastun"},
        {BTBreak, "BTBreak"},
        {BtExit, "BtExit"},
        {Bevel1, "Bevel1"},
        {Bevel2, "Bevel2"},
        {Bevel3, "Bevel3"},
        {Shape1, "Shape1"},
        {Shape2, "Shape2"},
        {Shape3, "Shape3"},
        {Shape4, "Shape4"},
        {Shape5, "Shape5"},
        {Shape6, "Shape6"},
        {Shape7, "Shape7"},
        {Shape8, "Shape8"},
        {Shape11, "Shape11"},
        {Shape12, "Shape12"},
        {labelTL, "labelTL"},
        {LabelTg, "LabelTg"},
        {Labelqa, "Labelqa"},
        {Labellambda, "Labellambda"},
        {Labeleta, "Labeleta"},
        {LabelO2, "LabelO2"},
        {LabelCo2, "LabelCo2"},
        {LabelCo, "LabelCo"},
        {Labelno, "Labelno"},
        {LabelP, "LabelP"},
        {Label1, "Label1"},
        {Label2, "Label2"},
        {Label3, "Label3"},
        {label4, "label4"},
        {Label5, "Label5"},
        {Label6, "Label6"},
        {Label7, "Label7"},
        {Label8, "Label8"},
        {label9, "label9"},
        {Label10, "Label10"},
        {CBRZaktiv, "CBRZaktiv"},
        {LBRZ1, "LBRZ1"},
        {LBRZ2, "LBRZ2"},
        {LBRZ3, "LBRZ3"},
        {SERZ1, "SERZ1"},
        {SERZ2, "SERZ2"},
        {SERZ3, "SERZ3"},
        {Lderivate, "Lderivate"},
        {ElCBderivate, "ElCBderivate"},
        {Label12, "Label12"},
        {SEWTT, "SEWTT"},
        {Label13, "Label13"},
        {StatusBar, "StatusBar"},
        {Timer1, "Timer1"},
        {Timer2, "Timer2"},
        {Timeouttimer, "Timeouttimer"},
    };
    for (const auto& [object, name] : names) {
        object->setObjectName(QString::fromLatin1(name));
    }

    BtExit->setEnabled(false);
    BtWastun->setVisible(false);
    SetSmokeInputsEnabled(false);

    setTabOrder(BtExit, BTBreak);
    setTabOrder(BTBreak, SERZ1);
    setTabOrder(SERZ1, SERZ2);
    setTabOrder(SERZ2, SERZ3);
    setTabOrder(SERZ3, BtWastun);
    setTabOrder(BtWastun, SEWTT);
    setTabOrder(SEWTT, CBRZaktiv);
    setTabOrder(CBRZaktiv, ElCBderivate);
}

void TFormmain::FormCreate() {
    Comm = new TComm(this);
    // The link's debug log is created empty with it.
    Link = new DeviceLink(*this, Record, *Comm, *Timer1, *Timer2, *Timeouttimer, this);
    setWindowTitle(windowTitle() + QStringLiteral(" ") + QString::fromLatin1(kVersionText));
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
    Timeouttimer->start();
}

void TFormmain::DispData() {
    struct Row {
        QLabel* label;
        int channel;
        int decimals;
        const char* suffix;  // UTF-8
    };
    const Row rows[] = {
        {LabelTg, 9, 1, " °C"},    {labelTL, 8, 1, " °C"},   {Labeleta, 11, 1, " %"},
        {Labelqa, 13, 1, " %"},    {Labellambda, 10, 2, ""}, {LabelO2, 1, 1, " Vol%"},
        {LabelCo2, 2, 1, " Vol%"}, {LabelCo, 3, 0, " ppm"},  {Labelno, 4, 0, " ppm"},
        {LabelP, 12, 2, " hPa"},
    };
    for (const Row& row : rows) {
        QString caption = QStringLiteral("-");
        if (Record.Valid(row.channel)) {
            const std::string number = FormatFixed(0, row.decimals, Record.Value(row.channel));
            caption = QString::fromLatin1(number.c_str()) + QString::fromUtf8(row.suffix);
        }
        SetValueCaption(row.label, caption, kValuePixelSize);
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
    StatusPanel1->setText(text);
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
    picture_ = n;
}

QString TFormmain::IdentificationLabel() const {
    return USBLabel->text();
}

void TFormmain::SetIdentificationLabel(const QString& text) {
    USBLabel->setText(text);
    FitLabelToText(USBLabel,
                   QRect(USBLabel->x(), USBLabel->y(), kUsbLabelDesignWidth, USBLabel->height()));
}

void TFormmain::SetBtExitEnabled(bool enabled) {
    BtExit->setEnabled(enabled);
}

void TFormmain::SetBtWastunVisible(bool visible) {
    BtWastun->setVisible(visible);
}

double TFormmain::BoilerTemperature() const {
    return SEWTT->value();
}

double TFormmain::SmokeNumber(int n) const {
    switch (n) {
        case 1:
            return SERZ1->value();
        case 2:
            return SERZ2->value();
        case 3:
            return SERZ3->value();
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
