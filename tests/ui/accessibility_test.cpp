// What assistive tools find in the windows, read in process through QAccessible, the
// interfaces that Qt's AT-SPI and UI Automation bridges hand to screen readers,
// UI-automation tools and the Windows touch keyboard.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QWindow>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "tests/support/manual_clock.h"
#include "tests/support/scripted_ports.h"
#include "tests/ui/qstring_printer.h"
#include "ui/accessible_names.h"
#include "ui/formmain.h"
#include "ui/help_window.h"
#include "ui/shell_open.h"

namespace {

QAccessibleInterface* Accessible(QObject* object) {
    return QAccessible::queryAccessibleInterface(object);
}

QString Name(QObject* object) {
    return Accessible(object)->text(QAccessible::Name);
}

/// The names of what labels `object` for assistive tools (AT-SPI's "labelled by").
std::vector<QString> LabelledBy(QObject* object) {
    std::vector<QString> names;
    for (const auto& [label, relation] : Accessible(object)->relations(QAccessible::Label)) {
        names.push_back(label->text(QAccessible::Name));
    }
    return names;
}

/// The window on a machine without ports, its link on a clock that stands still unless a
/// wait of the link moves it: showing it starts no search behind the test's back.
class AccessibilityTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        WindowSetup setup;
        setup.link.clock = &clock;
        setup.link.ports = &ports;
        setup.link.files = {dir.filePath(QStringLiteral("fumilink.ini")).toStdString(),
                            dir.filePath(QStringLiteral("debug.log")).toStdString()};
        form = std::make_unique<TFormmain>(std::move(setup));
    }
    void TearDown() override { form.reset(); }

    /// Shows the window with the keyboard in it.
    void ShowActive() {
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }

    void SetChannel(int channel, double value, bool valid = true) {
        record.values[channel - 1] = value;
        record.valid[channel - 1] = valid;
    }

    QTemporaryDir dir;
    ManualClock clock;
    ScriptedPorts ports;
    MeasurementRecord record;  // what DispData is handed
    std::unique_ptr<TFormmain> form;
};

TEST_F(AccessibilityTest, EveryUsableControlHasAGermanNameAndDescriptionOfItsOwn) {
    form->SetSmokeInputsEnabled(true);
    form->SetBtExitEnabled(true);
    form->SetBtWastunVisible(true);
    const struct {
        QWidget* control;
        const char* name;
    } controls[] = {
        {form->Image, "Verbindung: Suche läuft"},
        {form->BtWastun, "Was ist zu tun?"},
        {form->BTBreak, "Abbrechen"},
        {form->BtExit, "Daten übernehmen"},
        {form->CBRZaktiv, "Rußzahlen und Ölderivate eingeben"},
        {form->SERZ1, "Rußzahl 1"},
        {form->SERZ2, "Rußzahl 2"},
        {form->SERZ3, "Rußzahl 3"},
        {form->SEWTT, "T-Kessel"},
    };
    std::set<QString> names;
    for (const auto& c : controls) {
        EXPECT_EQ(Name(c.control), QString::fromUtf8(c.name));
        EXPECT_FALSE(Accessible(c.control)->text(QAccessible::Description).isEmpty()) << c.name;
        names.insert(Name(c.control));
    }
    EXPECT_EQ(names.size(), std::size(controls));
    EXPECT_FALSE(Accessible(form->ElCBderivate)->text(QAccessible::Description).isEmpty());

    // A field is labelled by its caption, which screen readers say before its value.
    for (QWidget* field : {static_cast<QWidget*>(form->SERZ2), static_cast<QWidget*>(form->SEWTT),
                           static_cast<QWidget*>(form->ElCBderivate)}) {
        ASSERT_EQ(LabelledBy(field).size(), 1u) << field->objectName().toStdString();
    }
    EXPECT_EQ(LabelledBy(form->SERZ2)[0], QStringLiteral("Rußzahl 2"));
    EXPECT_EQ(LabelledBy(form->ElCBderivate)[0], QString::fromUtf8("Ölderivate?"));
    // AT-SPI tools read a drop-down list's name as its shown item and its question from
    // the label; UI Automation has it as the name.
#ifdef Q_OS_UNIX
    EXPECT_EQ(Name(form->ElCBderivate), QStringLiteral("Nein"));
#else
    EXPECT_EQ(Name(form->ElCBderivate), QString::fromUtf8("Ölderivate?"));
#endif
    EXPECT_EQ(Accessible(form->ElCBderivate)->text(QAccessible::Value), QStringLiteral("Nein"));

    // The number fields are editable text with their value: what makes Windows show its
    // touch keyboard, and what a screen reader reads and writes.
    for (TSpinEdit* edit : {form->SERZ1, form->SEWTT}) {
        QAccessibleInterface* field = Accessible(edit);
        EXPECT_NE(field->editableTextInterface(), nullptr);
        ASSERT_NE(field->valueInterface(), nullptr);
        EXPECT_DOUBLE_EQ(field->valueInterface()->currentValue().toDouble(), edit->value());
        EXPECT_FALSE(field->state().readOnly);
    }
    EXPECT_EQ(Accessible(form->SEWTT)->text(QAccessible::Value), QStringLiteral("60,0"));
}

TEST_F(AccessibilityTest, ValueFieldsSayTheirQuantityWithTheValueTheyShow) {
    const std::vector<QLabel*> fields = {
        form->labelTL, form->LabelTg,  form->Labelqa, form->Labellambda, form->Labeleta,
        form->LabelO2, form->LabelCo2, form->LabelCo, form->Labelno,     form->LabelP};
    // Without values from the start; each name is its own, and says the quantity in words
    // before the caption shown beside the field (the Greek letters spelt out).
    const QStringList captions = {QStringLiteral("T-VL"), QStringLiteral("TG"),
                                  QStringLiteral("qA"),   QStringLiteral("Lambda"),
                                  QStringLiteral("Eta"),  QStringLiteral("O2"),
                                  QStringLiteral("CO2"),  QStringLiteral("CO"),
                                  QStringLiteral("NO"),   QStringLiteral("p")};
    std::set<QString> names;
    for (size_t i = 0; i < fields.size(); ++i) {
        const QString name = Name(fields[i]);
        EXPECT_TRUE(name.endsWith(QStringLiteral(" kein Messwert"))) << name.toStdString();
        EXPECT_GT(name.indexOf(QLatin1Char(' ') + captions[int(i)] + QLatin1Char(' ')), 0)
            << name.toStdString();
        names.insert(name);
    }
    EXPECT_EQ(names.size(), fields.size());

    // A value that appears, and one that is lost, is told at once.
    SetChannel(9, 180.14);
    SetChannel(12, -0.12);
    form->DispData(record);
    EXPECT_EQ(Name(form->LabelTg), QString::fromUtf8("Abgastemperatur TG 180,1 °C"));
    EXPECT_EQ(Name(form->LabelP), QStringLiteral("Zug p -0,12 hPa"));
    SetChannel(9, 180.14, false);
    form->DispData(record);
    EXPECT_EQ(Name(form->LabelTg), QStringLiteral("Abgastemperatur TG kein Messwert"));
    EXPECT_EQ(Name(form->LabelP), QStringLiteral("Zug p -0,12 hPa"));
}

TEST(ValueFieldName, AValueThatMovesOnIsToldAtMostOnceASecondAndItsLossAtOnce) {
    QLabel label;
    const QString quantity = QStringLiteral("Verbrennungslufttemperatur T-VL");
    const auto show = [&](const char* text, std::int64_t atMs) {
        label.setText(QString::fromUtf8(text));
        NameValueField(&label, quantity, atMs);
        return label.accessibleName();
    };
    const QString tl = quantity + QLatin1Char(' ');
    EXPECT_EQ(show("-", 0), tl + QStringLiteral("kein Messwert"));
    EXPECT_EQ(show("20,4 °C", 100), tl + QString::fromUtf8("20,4 °C")) << "value appeared";
    EXPECT_EQ(show("20,5 °C", 200), tl + QString::fromUtf8("20,4 °C")) << "within the second";
    EXPECT_EQ(show("20,6 °C", 1099), tl + QString::fromUtf8("20,4 °C"));
    EXPECT_EQ(show("20,6 °C", 1100), tl + QString::fromUtf8("20,6 °C")) << "the newest value";
    EXPECT_EQ(show("-", 1150), tl + QStringLiteral("kein Messwert")) << "lost";
    EXPECT_EQ(show("20,7 °C", 1200), tl + QString::fromUtf8("20,7 °C")) << "back";
    EXPECT_EQ(show("20,8 °C", 2100), tl + QString::fromUtf8("20,7 °C"));
    EXPECT_EQ(show("20,8 °C", 2200), tl + QString::fromUtf8("20,8 °C"));
}

TEST_F(AccessibilityTest, ConnectionPictureIsAButtonNamedByTheLinkStateThatSearchesAgain) {
    QAccessibleInterface* picture = Accessible(form->Image);
    EXPECT_EQ(picture->role(), QAccessible::Button);
    EXPECT_TRUE(picture->state().focusable);
    std::set<QString> names;
    for (int n : {1, 2, 3, 0}) {
        form->ShowConnectionPicture(n);
        EXPECT_EQ(picture->text(QAccessible::Name), ConnectionPictureName(n));
        names.insert(picture->text(QAccessible::Name));
    }
    EXPECT_EQ(names.size(), 4u);
    EXPECT_EQ(picture->text(QAccessible::Name), QString::fromUtf8("Verbindung: Suche läuft"));

    QAccessibleActionInterface* actions = picture->actionInterface();
    ASSERT_NE(actions, nullptr);
    ASSERT_FALSE(actions->actionNames().isEmpty());
    const QString press = QAccessibleActionInterface::pressAction();
    EXPECT_EQ(actions->actionNames().first(), press) << "the action a tool runs by default";
    EXPECT_EQ(actions->localizedActionName(press), QStringLiteral("Neue Suche"));
    EXPECT_TRUE(actions->keyBindingsForAction(press).contains(QStringLiteral("F5")));

    // The tool is answered before the search runs (it takes seconds).
    QObject::disconnect(form->Image, &TImage::activated, nullptr, nullptr);
    QSignalSpy activated(form->Image, &TImage::activated);
    actions->doAction(press);
    EXPECT_EQ(activated.count(), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(activated.count(), 1);
}

TEST_F(AccessibilityTest, ThePictureTakesTheKeyboardShowsItAndSpaceOrReturnSearchesAgain) {
    ShowActive();
    QObject::disconnect(form->Image, &TImage::activated, nullptr, nullptr);
    QSignalSpy activated(form->Image, &TImage::activated);
    EXPECT_EQ(QApplication::focusWidget(), form->BTBreak) << "opens on Abbrechen as always";
    const QImage unfocused = form->Image->grab().toImage();

    QTest::keyClick(form->windowHandle(), Qt::Key_Tab, Qt::ShiftModifier);
    ASSERT_EQ(QApplication::focusWidget(), form->Image);
    EXPECT_NE(form->Image->grab().toImage(), unfocused) << "no focus frame drawn";
    // Clicks leave the keyboard where it is; the picture is no field to click into.
    EXPECT_EQ(form->Image->focusPolicy(), Qt::TabFocus);

    QTest::keyClick(form->windowHandle(), Qt::Key_Space);
    QTest::keyClick(form->windowHandle(), Qt::Key_Return);
    QTest::keyClick(form->windowHandle(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(activated.count(), 3);
    // A held key repeats, a double-click never does: only its first press counts.
    QTest::sendKeyEvent(QTest::KeyAction::Press, form->windowHandle(), Qt::Key_Space, ' ',
                        Qt::NoModifier);
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
    QApplication::sendEvent(form->Image, &repeat);
    QTest::sendKeyEvent(QTest::KeyAction::Release, form->windowHandle(), Qt::Key_Space, ' ',
                        Qt::NoModifier);
    EXPECT_EQ(activated.count(), 4);
    QTest::keyClick(form->windowHandle(), Qt::Key_A);
    QTest::keyClick(form->windowHandle(), Qt::Key_Down);
    EXPECT_EQ(activated.count(), 4);
    QTest::mouseDClick(form->Image, Qt::LeftButton);
    EXPECT_EQ(activated.count(), 5);
}

TEST_F(AccessibilityTest, F5SearchesAgainFromAnywhereInTheWindow) {
    ShowActive();
    form->SEWTT->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(form->ConnectionPicture(), 0);
    // No port is listed: the new search fails at once and shows so.
    QTest::keyClick(form->windowHandle(), Qt::Key_F5);
    EXPECT_EQ(form->ConnectionPicture(), 1);
    EXPECT_EQ(Name(form->Image), QStringLiteral("Verbindung: Fehler"));
    EXPECT_EQ(QApplication::focusWidget(), form->SEWTT) << "the keyboard stays where it was";
}

TEST(HelpWindowAccessibility, PagesAreReadableAndTheLinkIsReachedAndOpenedByKeyboard) {
    std::vector<std::string> opened;
    SetShellOpenHook([&](const std::string& target) { opened.push_back(target); });
    TForm1 help;
    help.show();
    help.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&help));

    QAccessibleInterface* page = Accessible(help.HTMLView);
    EXPECT_EQ(page->text(QAccessible::Name), QStringLiteral("Hilfetext"));
    EXPECT_FALSE(page->text(QAccessible::Description).isEmpty());
    EXPECT_TRUE(page->state().readOnly);
    QAccessibleTextInterface* text = page->textInterface();
    ASSERT_NE(text, nullptr);
    const QString all = text->text(0, text->characterCount());
    EXPECT_TRUE(all.startsWith(QString::fromUtf8("ZOR Messgerät mit Bluetoothmodul anmelden")));
    EXPECT_TRUE(all.contains(QString::fromUtf8("Bluetooth-Geräte")));

    // From "OK" into the page, then to its link, which a reader hears as the selection.
    ASSERT_EQ(QApplication::focusWidget(), help.BitBtn1);
    QTest::keyClick(help.windowHandle(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), help.HTMLView);
    QTest::keyClick(help.windowHandle(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), help.HTMLView);
    ASSERT_EQ(text->selectionCount(), 1);
    int start = 0;
    int end = 0;
    text->selection(0, &start, &end);
    EXPECT_EQ(text->text(start, end), QString::fromUtf8("Bluetooth-Geräte"));

    QTest::keyClick(help.windowHandle(), Qt::Key_Return);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], "bthprops.cpl");
    EXPECT_TRUE(help.isVisible());
    SetShellOpenHook(nullptr);
}

}  // namespace
