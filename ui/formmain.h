#pragma once
// The main window: the program's only working screen. It owns the link to the analyser
// (DeviceLink, with the timers, the serial port and the measurement record) and shows what
// the link reports; it hands the link the manual entries when the take-over asks. This
// file builds the window as the user sees it and offers the display operations the link
// uses; the button handlers are wired elsewhere.

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>

#include "data/measurement.h"
#include "data/transfer_file.h"
#include "link/device_link.h"
#include "link/link_view.h"
#include "ui/bevel.h"
#include "ui/image_label.h"
#include "ui/shape.h"
#include "ui/spin_edit.h"
#include "ui/unattended_presses.h"

class TForm1;

/// What the program start hands the main window.
struct WindowSetup {
    /// The ports, the clock, the command line and the files of the link.
    LinkSetup link;
    /// The demo's ports are in use: the title says so.
    bool demo = false;
    /// An unattended demo: the buttons the window presses by itself.
    UnattendedPresses presses;
};

/// The main window. Fixed client size 515 x 286, absolute layout, close button only.
class TFormmain : public QWidget, public LinkView {
    Q_OBJECT
public:
    explicit TFormmain(WindowSetup setup = {}, QWidget* parent = nullptr);
    ~TFormmain() override;

    // ---- controls (design names) ----
    TImage* Image = nullptr;          ///< connection picture; activated() -> Connectreset
    QLabel* USBLabel = nullptr;       ///< identification label, widens with its text
    QPushButton* BtWastun = nullptr;  ///< "Was ist zu tun?", hidden at start
    QPushButton* BTBreak = nullptr;   ///< "Abbrechen"
    QPushButton* BtExit = nullptr;    ///< "Daten übernehmen", disabled at start
    TBevel* Bevel1 = nullptr;         ///< frames the value boxes
    TBevel* Bevel2 = nullptr;         ///< frames the smoke-number inputs
    TBevel* Bevel3 = nullptr;         ///< frames the boiler temperature

    TShape* Shape1 = nullptr;
    TShape* Shape2 = nullptr;
    TShape* Shape3 = nullptr;
    TShape* Shape4 = nullptr;
    TShape* Shape5 = nullptr;
    TShape* Shape6 = nullptr;
    TShape* Shape7 = nullptr;
    TShape* Shape8 = nullptr;
    TShape* Shape11 = nullptr;
    TShape* Shape12 = nullptr;

    QLabel* labelTL = nullptr;      ///< channel 8, T-VL
    QLabel* LabelTg = nullptr;      ///< channel 9, TG
    QLabel* Labelqa = nullptr;      ///< channel 13, qA
    QLabel* Labellambda = nullptr;  ///< channel 10, lambda
    QLabel* Labeleta = nullptr;     ///< channel 11, eta
    QLabel* LabelO2 = nullptr;      ///< channel 1
    QLabel* LabelCo2 = nullptr;     ///< channel 2
    QLabel* LabelCo = nullptr;      ///< channel 3
    QLabel* Labelno = nullptr;      ///< channel 4
    QLabel* LabelP = nullptr;       ///< channel 12, draft

    QLabel* Label1 = nullptr;   ///< "T-VL"
    QLabel* Label2 = nullptr;   ///< "TG"
    QLabel* Label3 = nullptr;   ///< "qA"
    QLabel* label4 = nullptr;   ///< lambda
    QLabel* Label5 = nullptr;   ///< "O2"
    QLabel* Label6 = nullptr;   ///< "CO2"
    QLabel* Label7 = nullptr;   ///< "CO"
    QLabel* Label8 = nullptr;   ///< "NO"
    QLabel* label9 = nullptr;   ///< eta
    QLabel* Label10 = nullptr;  ///< "p"

    QCheckBox* CBRZaktiv = nullptr;  ///< smoke-number inputs on/off; clicked -> CBRZaktivClick
    QLabel* LBRZ1 = nullptr;
    QLabel* LBRZ2 = nullptr;
    QLabel* LBRZ3 = nullptr;
    TSpinEdit* SERZ1 = nullptr;  ///< smoke number 1, 0.0..10.0 step 0.5
    TSpinEdit* SERZ2 = nullptr;
    TSpinEdit* SERZ3 = nullptr;
    QLabel* Lderivate = nullptr;        ///< "Ölderivate?"
    QComboBox* ElCBderivate = nullptr;  ///< index 0 "Nein", 1 "Ja"
    QLabel* Label12 = nullptr;          ///< "T-Kessel"
    TSpinEdit* SEWTT = nullptr;         ///< boiler temperature, 0.0..120.0 step 0.1
    QLabel* Label13 = nullptr;          ///< "°C"

    QFrame* StatusBar = nullptr;     ///< bottom bar, 0,260 515x26
    QLabel* StatusPanel0 = nullptr;  ///< "Status:", 80 pixels wide
    QLabel* StatusPanel1 = nullptr;  ///< the status message

    /// The four connection pictures (32 x 44): 0 start, 1 error, 2 standby, 3 online data.
    std::array<QPixmap, 4> BTImageList;

    // ---- run-time state ----
    /// The link to the analyser: the serial port component, the three timers, the
    /// measurement record, the command exchange, search, poll loop and take-over. Created by
    /// FormCreate, owned here.
    DeviceLink* Link = nullptr;

    // ---- operations ----
    /// Sets the start state; called once by the constructor.
    void FormCreate();
    /// Rewrites the ten value labels from `record`: valid channels with their decimals and
    /// unit, invalid ones as "-".
    void DispData(const MeasurementRecord& record) override;
    /// The first status panel reads "Mittel 18/30 s" while the mean is on.
    void ShowMeanFill(int filled, int window) override;
    /// Switches the smoke-number inputs together; values and selection are kept.
    void SetSmokeInputsEnabled(bool enabled);
    /// Handler of a user click on `CBRZaktiv`.
    void CBRZaktivClick();

    /// Text of the status bar's second panel.
    void SetStatusMessage(const QString& text) override;
    QString StatusMessage() const override;
    /// Shows connection picture n (0..3); other values are ignored.
    void ShowConnectionPicture(int n) override;
    /// Index of the picture shown now.
    int ConnectionPicture() const { return picture_; }
    QString IdentificationLabel() const override;
    /// Sets the identification label; the label widens to fit its text, up to a little
    /// before "Abbrechen" (the end of "Was ist zu tun?" while that shows), and elides what
    /// does not fit there ("…", the whole text then its tooltip and accessible description).
    void SetIdentificationLabel(const QString& text) override;
    void SetBtExitEnabled(bool enabled) override;
    void SetBtWastunVisible(bool visible) override;

    /// Manual entries as the transfer file writer reads them. A spin edit's text counts as
    /// it stands, confirmed or not, and the field then shows the value used.
    double BoilerTemperature() const;
    double SmokeNumber(int n) const;  ///< n = 1..3
    bool SmokeInputsActive() const;
    int DerivateIndex() const;
    /// All of them at this moment, as the take-over asks for them.
    ManualEntries ManualEntriesNow() const;

    /// The help window that "Was ist zu tun?" shows and the error display selects pages
    /// in; without one both do nothing. It may end before this window.
    void SetHelpWindow(TForm1* help);

    // ---- the rest of what the link needs ----
    /// Selects the help page of an error code in the help window (when it exists).
    void ZeigeHilfeText(int code) override;
    void SetPortsWithoutPermission(const QStringList& ports) override;
    void CloseMainWindow() override { close(); }
    void ShowErrorBox(const QString& message) override;
    void ShowInfoBox(const QString& message) override;

    // ---- actions ----
    /// First show: sets the smoke inputs by the firing type of the command line and starts
    /// the poll timer, whose first tick searches for the analyser; then says at once when the
    /// transfer file could not be written, and starts an unattended demo's presses.
    void FormShow();
    /// "Daten übernehmen": writes the transfer file; on success closes port and window.
    void BtExitClick();
    /// "Abbrechen": the next poll tick closes port and window.
    void BTBreakClick();
    /// "Was ist zu tun?": shows the help window.
    void BtWastunClick();
    /// Double-click on the connection picture (or Space or Return on it, F5, its
    /// accessible action): closes the port and searches again.
    void Connectreset();

signals:
    /// Emitted once, when the window is shown for the first time (hook for FormShow).
    void firstShown();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    /// What assistive tools are told of the controls (names, descriptions, the captions
    /// that label the fields) and the keyboard's way through the window.
    void DescribeControls();
    void ConnectActions();
    /// Shows identification_ in the identification label, elided where it is too long.
    void ShowIdentification();
    /// Fills valueLabels_ from the channel table's design names.
    void FindValueLabels();
    /// Centres the window's frame in the available area of its screen.
    void CenterOnScreen();

    /// The identification label's description while its whole text shows.
    static inline const QString kUsbLabelDescription = QString::fromUtf8("Gefundenes Messgerät");
    /// The identification as set, of which the label may show the start only.
    QString identification_;
    QPointer<TForm1> helpWindow_;
    /// Consumed by FormCreate, which makes the link from it.
    WindowSetup setup_;
    /// The firing type of the command line asks for the smoke-number inputs.
    bool smokeNumbersWanted_ = false;
    /// The value label of each channel (index 0 = channel 1); null where none shows it.
    std::array<QLabel*, kChannelCount> valueLabels_{};
    int picture_ = -1;
    bool shownOnce_ = false;
    /// What a click on "Daten übernehmen" or a double-click on the picture starts.
    enum class UserAction { None, TakeOver, Reconnect };
    /// True when `action` may start now. Otherwise a wait is running (an action, or an
    /// exchange of the poll tick), and the click is remembered for when it ends.
    bool MayStartNow(UserAction action);
    /// True while the unattended presser, not the user, clicks a button.
    bool PressedUnattended() const;
    /// Starts the remembered action once nothing waits any more, unless "Abbrechen" or
    /// closing the window came first.
    void RunPendingAction();

    /// A take-over or a new search is running: both wait in the event loop, so clicks
    /// arrive meanwhile; neither may start inside itself or the other.
    UserAction runningAction_ = UserAction::None;
    /// One click that came during a wait, to run when it ends.
    UserAction pendingAction_ = UserAction::None;
    /// Presses the buttons of an unattended demo; made by the first show.
    std::unique_ptr<UnattendedPresser> presser_;
};
