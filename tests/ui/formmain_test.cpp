#include "ui/formmain.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "serial/tcomm.h"
#include "tests/support/manual_clock.h"
#include "tests/support/scripted_ports.h"
#include "tests/ui/qstring_printer.h"
#include "ui/help_window.h"
#include "ui/program_icon.h"
#include "ui/version_text.h"

namespace {

QColor ButtonFace() {
    return QApplication::palette().color(QPalette::Button);
}

/// A window whose link runs on a clock that stands still unless the test moves it, on a
/// machine without ports: showing it starts no search behind the test's back.
WindowSetup StillSetup(ManualClock& clock, ScriptedPorts& ports) {
    WindowSetup setup;
    setup.link.clock = &clock;
    setup.link.ports = &ports;
    return setup;
}

class FormmainTest : public ::testing::Test {
protected:
    void SetUp() override { form = std::make_unique<TFormmain>(StillSetup(clock, ports)); }
    void TearDown() override { form.reset(); }

    std::vector<QLabel*> ValueLabels() const {
        return {form->labelTL, form->LabelTg,  form->Labelqa, form->Labellambda, form->Labeleta,
                form->LabelO2, form->LabelCo2, form->LabelCo, form->Labelno,     form->LabelP};
    }

    std::vector<QWidget*> SmokeInputs() const {
        return {form->SERZ1, form->SERZ2, form->SERZ3,     form->LBRZ1,
                form->LBRZ2, form->LBRZ3, form->Lderivate, form->ElCBderivate};
    }

    void SetChannel(int channel, double value, bool valid = true) {
        record.values[channel - 1] = value;
        record.valid[channel - 1] = valid;
    }

    static QColor Background(const QWidget* widget) {
        return widget->palette().color(QPalette::Base);
    }

    ManualClock clock;
    ScriptedPorts ports;
    MeasurementRecord record;  // what DispData is handed
    std::unique_ptr<TFormmain> form;
};

TEST_F(FormmainTest, StartStateOfTheDisplay) {
    // Automation finds every control and timer by its design name.
    QStringList names;
    for (QObject* child : form->children()) {
        if (child->isWidgetType() || qobject_cast<QTimer*>(child) != nullptr) {
            EXPECT_FALSE(child->objectName().isEmpty()) << child->metaObject()->className();
            EXPECT_FALSE(names.contains(child->objectName())) << child->objectName().toStdString();
            names << child->objectName();
        }
    }
    EXPECT_EQ(names.size(), 51);
    EXPECT_EQ(form->findChild<QWidget*>(QStringLiteral("SERZ2")), form->SERZ2);
    EXPECT_EQ(form->findChild<QLabel*>(QStringLiteral("label9")), form->label9);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Fumilink ") + QString::fromLatin1(kVersionText));
    EXPECT_EQ(form->minimumSize(), QSize(515, 286));
    EXPECT_EQ(form->maximumSize(), QSize(515, 286));
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(form->windowFlags() & Qt::WindowCloseButtonHint);

    EXPECT_EQ(form->StatusPanel0->text(), QStringLiteral("Status:"));
    EXPECT_EQ(form->StatusMessage(), QString::fromUtf8("Gerätesuche ..."));
    EXPECT_EQ(form->ConnectionPicture(), 0);
    EXPECT_EQ(form->Image->pixmap().toImage(), form->BTImageList[0].toImage());
    EXPECT_EQ(form->IdentificationLabel(), QString::fromUtf8("Suche läuft ..."));
    EXPECT_FALSE(form->BtExit->isEnabled());
    EXPECT_TRUE(form->BtWastun->isHidden());
    EXPECT_TRUE(form->BTBreak->isEnabled());
    EXPECT_EQ(form->BtExit->text(), QString::fromUtf8("Daten übernehmen"));
    EXPECT_EQ(form->BtWastun->text(), QStringLiteral("Was ist zu tun?"));
    for (QLabel* label : ValueLabels()) {
        EXPECT_EQ(label->text(), QStringLiteral("-")) << label->objectName().toStdString();
    }
}

TEST_F(FormmainTest, StartStateOfTheManualEntries) {
    EXPECT_DOUBLE_EQ(form->SEWTT->value(), 60.0);
    EXPECT_EQ(form->SEWTT->text(), QStringLiteral("60,0"));
    EXPECT_DOUBLE_EQ(form->SEWTT->minimum(), 0.0);
    EXPECT_DOUBLE_EQ(form->SEWTT->maximum(), 120.0);
    EXPECT_DOUBLE_EQ(form->SEWTT->singleStep(), 0.1);
    EXPECT_EQ(form->SEWTT->decimals(), 1);
    EXPECT_TRUE(form->SEWTT->isEnabled());

    for (TSpinEdit* edit : {form->SERZ1, form->SERZ2, form->SERZ3}) {
        EXPECT_DOUBLE_EQ(edit->value(), 0.0);
        EXPECT_EQ(edit->text(), QStringLiteral("0,0"));
        EXPECT_DOUBLE_EQ(edit->minimum(), 0.0);
        EXPECT_DOUBLE_EQ(edit->maximum(), 10.0);
        EXPECT_DOUBLE_EQ(edit->singleStep(), 0.5);
        EXPECT_EQ(edit->decimals(), 1);
    }

    ASSERT_EQ(form->ElCBderivate->count(), 2);
    EXPECT_EQ(form->ElCBderivate->itemText(0), QStringLiteral("Nein"));
    EXPECT_EQ(form->ElCBderivate->itemText(1), QStringLiteral("Ja"));
    EXPECT_EQ(form->ElCBderivate->currentIndex(), 0);
    EXPECT_EQ(form->ElCBderivate->currentText(), QStringLiteral("Nein"));

    // The box is checked, but the inputs wait for FormShow: a program-made check is no
    // click in Qt.
    EXPECT_TRUE(form->CBRZaktiv->isChecked());
    for (QWidget* widget : SmokeInputs()) {
        EXPECT_FALSE(widget->isEnabled());
    }
    EXPECT_EQ(Background(form->SERZ1), ButtonFace());
}

TEST_F(FormmainTest, StartStateOfTheLink) {
    ASSERT_NE(form->Link, nullptr);
    EXPECT_EQ(form->Link->parent(), form.get());
    EXPECT_FALSE(form->Link->PollTimer().IsActive());
    EXPECT_FALSE(form->Link->RetryTimer().IsActive());
    EXPECT_TRUE(form->Link->TimeoutTimer().IsActive());
    EXPECT_EQ(form->Link->ErrorCode(), 0);
    EXPECT_FALSE(form->Link->Exchanger().ErrorFlag());
    EXPECT_FALSE(form->Link->Aborted());
    EXPECT_FALSE(form->Link->Poll().FirstTickPending());
    EXPECT_FALSE(form->Link->Search().Connected());
    EXPECT_EQ(form->Link->Search().PortNumber(), 0);
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        EXPECT_FALSE(form->Link->Record().Valid(channel));
    }
    EXPECT_TRUE(form->Link->Log().Lines().empty());
    EXPECT_FALSE(form->Link->Comm().Connected());
}

TEST_F(FormmainTest, ControlsSitAtTheirDesignedPlaces) {
    const struct {
        QWidget* widget;
        QRect rect;
    } expected[] = {
        {form->Image, {8, 8, 32, 44}},        {form->BtWastun, {44, 12, 197, 29}},
        {form->BTBreak, {248, 12, 93, 29}},   {form->BtExit, {344, 12, 165, 29}},
        {form->Bevel1, {4, 56, 337, 197}},    {form->Bevel2, {344, 56, 165, 141}},
        {form->Bevel3, {344, 200, 165, 53}},  {form->Shape1, {52, 64, 113, 31}},
        {form->Shape11, {52, 208, 113, 31}},  {form->Shape12, {208, 208, 121, 31}},
        {form->labelTL, {56, 65, 105, 29}},   {form->Labelqa, {56, 135, 105, 29}},
        {form->LabelP, {212, 207, 113, 29}},  {form->Labelno, {212, 173, 113, 29}},
        {form->CBRZaktiv, {348, 48, 17, 17}}, {form->SERZ1, {436, 68, 49, 21}},
        {form->SERZ3, {436, 132, 49, 21}},    {form->ElCBderivate, {436, 168, 49, 21}},
        {form->SEWTT, {424, 214, 61, 21}},    {form->StatusBar, {0, 260, 515, 26}},
    };
    for (const auto& e : expected) {
        EXPECT_EQ(e.widget->geometry(), e.rect) << e.widget->metaObject()->className();
    }
    // The identification label fits its start text: a pixel or two wider than designed
    // with our typeface, never narrower.
    EXPECT_EQ(form->USBLabel->pos(), QPoint(48, 16));
    EXPECT_EQ(form->USBLabel->height(), 20);
    EXPECT_GE(form->USBLabel->width(), 97);
    EXPECT_LE(form->USBLabel->width(), 101);
    // Captions grow to the left when needed but keep their right edge at the box.
    const struct {
        QLabel* label;
        int right;
    } captions[] = {{form->Label1, 47},  {form->Label2, 47},  {form->Label3, 47},
                    {form->label4, 47},  {form->label9, 47},  {form->Label5, 203},
                    {form->Label6, 203}, {form->Label7, 203}, {form->Label8, 203},
                    {form->Label10, 199}};
    for (const auto& c : captions) {
        EXPECT_EQ(c.label->geometry().right(), c.right) << c.label->text().toStdString();
        EXPECT_GE(c.label->width(), c.label->fontMetrics().horizontalAdvance(c.label->text()));
    }
    // The check box straddles its frame's upper edge and is drawn above it.
    EXPECT_LT(form->CBRZaktiv->y(), form->Bevel2->y());
    EXPECT_GT(form->CBRZaktiv->geometry().bottom(), form->Bevel2->y());
    const QObjectList& children = form->children();
    EXPECT_GT(children.indexOf(form->CBRZaktiv), children.indexOf(form->Bevel2));
    // "Was ist zu tun?" covers the identification label while it is shown.
    EXPECT_TRUE(form->BtWastun->geometry().contains(form->USBLabel->geometry()));
    EXPECT_GT(children.indexOf(form->BtWastun), children.indexOf(form->USBLabel));
    // Status bar: an 80-pixel first panel, the second filling the rest.
    EXPECT_EQ(form->StatusPanel0->width(), 80);
    EXPECT_EQ(form->StatusPanel1->geometry().right(), form->StatusBar->width() - 1);
    EXPECT_GT(form->StatusPanel1->x(), form->StatusPanel0->geometry().right());
}

TEST_F(FormmainTest, FontsAndColoursOfTheValueBoxes) {
    const struct {
        QLabel* label;
        QColor colour;
    } captions[] = {{form->Label1, QColor(0, 128, 0)}, {form->Label2, QColor(0, 128, 0)},
                    {form->Label3, QColor(128, 0, 0)}, {form->label4, QColor(128, 0, 0)},
                    {form->label9, QColor(128, 0, 0)}, {form->Label5, QColor(0, 0, 128)},
                    {form->Label6, QColor(0, 0, 128)}, {form->Label7, QColor(0, 0, 128)},
                    {form->Label8, QColor(0, 0, 128)}, {form->Label10, QColor(128, 0, 128)}};
    for (const auto& c : captions) {
        EXPECT_EQ(c.label->palette().color(QPalette::WindowText), c.colour);
        EXPECT_TRUE(c.label->font().bold());
        EXPECT_EQ(c.label->font().pixelSize(), 16);
    }
    EXPECT_EQ(form->label4->text(), QString(QChar(0x03BB)));
    EXPECT_EQ(form->label9->text(), QString(QChar(0x03B7)));
    EXPECT_TRUE(QFontMetrics(form->label4->font()).inFontUcs4(0x03BB));
    EXPECT_TRUE(QFontMetrics(form->label9->font()).inFontUcs4(0x03B7));

    for (QLabel* label : ValueLabels()) {
        EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(255, 255, 0));
        EXPECT_EQ(label->font().pixelSize(), 24);
        EXPECT_FALSE(label->font().bold());
        EXPECT_TRUE(label->alignment() & Qt::AlignRight);
    }
    for (TShape* shape : {form->Shape1, form->Shape4, form->Shape8, form->Shape11}) {
        EXPECT_EQ(shape->BrushColor(), QColor(0, 0, 64));
    }
    EXPECT_TRUE(form->BtWastun->font().bold());
    EXPECT_FALSE(form->BtExit->font().bold());
    EXPECT_EQ(form->BtExit->font().pixelSize(), 16);
    EXPECT_EQ(form->SEWTT->font().pixelSize(), 11);
    EXPECT_TRUE(form->SEWTT->font().bold());
    EXPECT_TRUE(form->ElCBderivate->font().bold());
}

TEST_F(FormmainTest, TabRunsLeftToRightTopToBottomThroughWhatCanBeUsedNow) {
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    // Where Tab takes the keyboard, once around from the picture.
    const auto tabStops = [&] {
        form->Image->setFocus(Qt::TabFocusReason);
        std::vector<QWidget*> stops;
        for (int presses = 0; presses < 20; ++presses) {
            QWidget* focused = QApplication::focusWidget();
            while (focused != nullptr && focused->parentWidget() != form.get()) {
                focused = focused->parentWidget();  // a spin edit's own line edit
            }
            if (!stops.empty() && focused == stops.front()) {
                break;
            }
            stops.push_back(focused);
            QTest::keyClick(form->windowHandle(), Qt::Key_Tab);
        }
        return stops;
    };
    // At first: no analyser yet, and no arguments, so no smoke numbers.
    EXPECT_EQ(tabStops(),
              (std::vector<QWidget*>{form->Image, form->BTBreak, form->CBRZaktiv, form->SEWTT}));

    form->SetBtExitEnabled(true);
    form->SetBtWastunVisible(true);
    form->SetSmokeInputsEnabled(true);
    EXPECT_EQ(tabStops(),
              (std::vector<QWidget*>{form->Image, form->BtWastun, form->BTBreak, form->BtExit,
                                     form->CBRZaktiv, form->SERZ1, form->SERZ2, form->SERZ3,
                                     form->ElCBderivate, form->SEWTT}));
}

TEST_F(FormmainTest, ReturnAndKeypadEnterPressTheFocusedButtonAndNothingElse) {
    form->show();
    form->SetBtExitEnabled(true);
    form->SetBtWastunVisible(true);
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    std::vector<std::unique_ptr<QSignalSpy>> spies;
    for (QPushButton* button : {form->BtExit, form->BTBreak, form->BtWastun}) {
        QObject::disconnect(button, nullptr, form.get(), nullptr);  // count clicks only
        spies.push_back(std::make_unique<QSignalSpy>(button, &QPushButton::clicked));
    }
    const auto clicks = [&] {
        std::vector<int> counts;
        for (const auto& spy : spies) {
            counts.push_back(static_cast<int>(spy->count()));
        }
        return counts;
    };

    // Keys go to the window and reach whatever has the focus, as typed keys do.
    QWindow* window = form->windowHandle();
    QPushButton* const buttons[] = {form->BtExit, form->BTBreak, form->BtWastun};
    for (int i = 0; i < 3; ++i) {
        buttons[i]->setFocus(Qt::TabFocusReason);
        ASSERT_EQ(QApplication::focusWidget(), buttons[i]);
        // Never the default button: the Windows style animates that one without pause.
        EXPECT_FALSE(buttons[i]->isDefault()) << buttons[i]->text().toStdString();
        QTest::keyClick(window, Qt::Key_Return);
        QTest::keyClick(window, Qt::Key_Enter, Qt::KeypadModifier);
        std::vector<int> expected(3, 0);
        for (int j = 0; j <= i; ++j) {
            expected[j] = 2;
        }
        EXPECT_EQ(clicks(), expected) << buttons[i]->text().toStdString();
    }

    // Enter in an entry field presses no button.
    for (QWidget* field :
         {static_cast<QWidget*>(form->SEWTT), static_cast<QWidget*>(form->ElCBderivate)}) {
        field->setFocus(Qt::TabFocusReason);
        QTest::keyClick(window, Qt::Key_Return);
        QTest::keyClick(window, Qt::Key_Enter, Qt::KeypadModifier);
    }
    EXPECT_EQ(clicks(), std::vector<int>(3, 2));
}

TEST_F(FormmainTest, DispDataWritesEachRowWithItsDecimalsAndUnit) {
    const struct {
        int channel;
        double value;
        QLabel* TFormmain::*label;
        const char* expected;
    } rows[] = {
        {1, 20.9, &TFormmain::LabelO2, "20,9 Vol%"},  {3, 12.0, &TFormmain::LabelCo, "12 ppm"},
        {10, 1.24, &TFormmain::Labellambda, "1,24"},  {12, -0.12, &TFormmain::LabelP, "-0,12 hPa"},
        {9, 182.4, &TFormmain::LabelTg, "182,4 °C"},  {8, 21.66, &TFormmain::labelTL, "21,7 °C"},
        {11, 93.0, &TFormmain::Labeleta, "93,0 %"},   {13, 6.94, &TFormmain::Labelqa, "6,9 %"},
        {2, 12.3, &TFormmain::LabelCo2, "12,3 Vol%"}, {4, 1048.0, &TFormmain::Labelno, "1048 ppm"},
    };
    for (const auto& row : rows) {
        SetChannel(row.channel, row.value);
    }
    form->DispData(record);
    for (const auto& row : rows) {
        EXPECT_EQ((form.get()->*row.label)->text(), QString::fromUtf8(row.expected))
            << "channel " << row.channel;
    }

    // A flag that turns false shows "-" again; the other rows keep their values.
    SetChannel(1, 20.9, false);
    SetChannel(12, -0.12, false);
    form->DispData(record);
    EXPECT_EQ(form->LabelO2->text(), QStringLiteral("-"));
    EXPECT_EQ(form->LabelP->text(), QStringLiteral("-"));
    EXPECT_EQ(form->LabelTg->text(), QString::fromUtf8("182,4 °C"));
}

/// Columns (first, last) that drawing `text` in `font` inks, drawn without any clipping.
std::pair<int, int> InkColumns(const QFont& font, const QString& text) {
    QImage image(1000, 80, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setFont(font);
        painter.setPen(Qt::yellow);
        painter.drawText(QPoint(400, 60), text);
    }
    int first = image.width();
    int last = -1;
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < image.height(); ++y) {
            if (qAlpha(image.pixel(x, y)) > 0) {
                first = std::min(first, x);
                last = x;
                break;
            }
        }
    }
    return {first, last};
}

TEST_F(FormmainTest, ValuesWiderThanTheirBoxAreDrawnSmallerWithEveryDigitAndTheSign) {
    const struct {
        int channel;
        double value;
        QLabel* TFormmain::*label;
        const char* expected;
    } wide[] = {
        {3, 12345.0, &TFormmain::LabelCo, "12345 ppm"},
        {12, -10.25, &TFormmain::LabelP, "-10,25 hPa"},
        {9, 12345.6, &TFormmain::LabelTg, "12345,6 °C"},
        {2, -123456789.0, &TFormmain::LabelCo2, "-123456789,0 Vol%"},
    };
    for (const auto& row : wide) {
        SetChannel(row.channel, row.value);
    }
    SetChannel(1, 20.9);
    form->DispData(record);
    for (const auto& row : wide) {
        QLabel* label = form.get()->*row.label;
        EXPECT_EQ(label->text(), QString::fromUtf8(row.expected));
        EXPECT_LT(label->font().pixelSize(), 24) << row.expected;
        const auto [first, last] = InkColumns(label->font(), label->text());
        EXPECT_LE(last - first + 1, label->contentsRect().width()) << row.expected;
    }
    EXPECT_EQ(form->LabelO2->font().pixelSize(), 24);

    // Back to a value that fits: the normal size again.
    SetChannel(3, 12.0);
    SetChannel(12, -0.12);
    form->DispData(record);
    EXPECT_EQ(form->LabelCo->font().pixelSize(), 24);
    EXPECT_EQ(form->LabelP->text(), QStringLiteral("-0,12 hPa"));
    EXPECT_EQ(form->LabelP->font().pixelSize(), 24);
}

TEST_F(FormmainTest, ChannelsWithoutABoxNeverShow) {
    for (int channel : {5, 6, 7, 14}) {
        SetChannel(channel, 777.7);
    }
    form->DispData(record);
    for (QLabel* label : ValueLabels()) {
        EXPECT_EQ(label->text(), QStringLiteral("-"));
    }
}

TEST_F(FormmainTest, SmokeInputsSwitchTogetherAndKeepTheirValues) {
    form->SetSmokeInputsEnabled(true);
    for (QWidget* widget : SmokeInputs()) {
        EXPECT_TRUE(widget->isEnabled());
    }
    for (QWidget* widget : {static_cast<QWidget*>(form->SERZ1), static_cast<QWidget*>(form->SERZ3),
                            static_cast<QWidget*>(form->ElCBderivate)}) {
        EXPECT_EQ(Background(widget), QColor(255, 255, 255));
    }
    form->SERZ1->setValue(1.5);
    form->SERZ2->setValue(10.0);
    form->SERZ3->setValue(0.5);
    form->ElCBderivate->setCurrentIndex(1);

    // A user click on the check box switches them off ...
    QTest::mouseClick(form->CBRZaktiv, Qt::LeftButton);
    EXPECT_FALSE(form->CBRZaktiv->isChecked());
    for (QWidget* widget : SmokeInputs()) {
        EXPECT_FALSE(widget->isEnabled());
    }
    EXPECT_EQ(Background(form->SERZ2), ButtonFace());
    EXPECT_EQ(Background(form->ElCBderivate), ButtonFace());
    EXPECT_TRUE(form->SEWTT->isEnabled());
    EXPECT_DOUBLE_EQ(form->SERZ1->value(), 1.5);
    EXPECT_EQ(form->ElCBderivate->currentIndex(), 1);
    EXPECT_FALSE(form->SmokeInputsActive());

    // ... and on again with the same values.
    QTest::mouseClick(form->CBRZaktiv, Qt::LeftButton);
    EXPECT_TRUE(form->CBRZaktiv->isChecked());
    for (QWidget* widget : SmokeInputs()) {
        EXPECT_TRUE(widget->isEnabled());
    }
    EXPECT_EQ(Background(form->SERZ2), QColor(255, 255, 255));
    EXPECT_DOUBLE_EQ(form->SmokeNumber(1), 1.5);
    EXPECT_DOUBLE_EQ(form->SmokeNumber(2), 10.0);
    EXPECT_DOUBLE_EQ(form->SmokeNumber(3), 0.5);
    EXPECT_EQ(form->DerivateIndex(), 1);
    EXPECT_TRUE(form->SmokeInputsActive());
}

TEST_F(FormmainTest, DerivateListOpensOnAClickOnItsTextWhichStaysRightAligned) {
    form->show();
    form->SetSmokeInputsEnabled(true);  // after the first show, which sets them by the firing type
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QComboBox* list = form->ElCBderivate;
    QStyleOptionComboBox option;
    option.initFrom(list);
    const QRect field = list->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                      QStyle::SC_ComboBoxEditField, list);

    // "Nein" (dark on white) ends at the field's right edge, well clear of its left edge.
    const QImage image = list->grab().toImage();
    int inkLeft = image.width();
    int inkRight = -1;
    for (int x = field.left(); x <= field.right(); ++x) {
        for (int y = field.top(); y <= field.bottom(); ++y) {
            if (qGray(image.pixel(x, y)) < 128) {
                inkLeft = std::min(inkLeft, x);
                inkRight = x;
                break;
            }
        }
    }
    ASSERT_GE(inkRight, 0) << "no text drawn";
    EXPECT_GE(inkRight, field.right() - 3);
    EXPECT_GE(inkLeft, field.left() + 4);

    QTest::mouseClick(list, Qt::LeftButton, {}, field.center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->view()->isVisible(); }, 10000));
    QTest::keyClick(list->view(), Qt::Key_Down);
    QTest::keyClick(list->view(), Qt::Key_Return);
    EXPECT_EQ(list->currentIndex(), 1);
    EXPECT_FALSE(list->view()->isVisible());
}

TEST_F(FormmainTest, SpinEditsStepByArrowAndByPage) {
    form->SetSmokeInputsEnabled(true);
    QTest::keyClick(form->SEWTT, Qt::Key_Up);
    EXPECT_NEAR(form->SEWTT->value(), 60.1, 1e-9);
    QTest::keyClick(form->SEWTT, Qt::Key_PageUp);
    EXPECT_NEAR(form->SEWTT->value(), 70.1, 1e-9);
    EXPECT_EQ(form->SEWTT->text(), QStringLiteral("70,1"));
    form->SEWTT->setValue(115.0);
    QTest::keyClick(form->SEWTT, Qt::Key_PageUp);
    EXPECT_DOUBLE_EQ(form->SEWTT->value(), 120.0);

    QTest::keyClick(form->SERZ1, Qt::Key_Up);
    EXPECT_DOUBLE_EQ(form->SERZ1->value(), 0.5);
    QTest::keyClick(form->SERZ1, Qt::Key_PageUp);
    EXPECT_DOUBLE_EQ(form->SERZ1->value(), 10.0);
    QTest::keyClick(form->SERZ1, Qt::Key_PageDown);
    EXPECT_DOUBLE_EQ(form->SERZ1->value(), 0.0);
    EXPECT_DOUBLE_EQ(form->BoilerTemperature(), 120.0);
}

TEST_F(FormmainTest, TypedEntriesTakeAPointAndCountAsTheyStand) {
    form->SetSmokeInputsEnabled(true);
    // A point typed from habit or on a keypad separates the decimals: it is neither
    // refused nor does the digit after it push the value out of range.
    form->SERZ1->selectAll();
    QTest::keyClicks(form->SERZ1, QStringLiteral("3.5"));
    EXPECT_EQ(form->SERZ1->text(), QStringLiteral("3,5"));
    form->SEWTT->selectAll();
    QTest::keyClicks(form->SEWTT, QStringLiteral("95"));
    QTest::keyClick(form->SEWTT, Qt::Key_Period, Qt::KeypadModifier);
    QTest::keyClick(form->SEWTT, Qt::Key_5, Qt::KeypadModifier);
    EXPECT_EQ(form->SEWTT->text(), QStringLiteral("95,5"));

    // Neither was confirmed with Return, and the focus never left them: the take-over
    // reads them as they stand.
    EXPECT_DOUBLE_EQ(form->SmokeNumber(1), 3.5);
    EXPECT_DOUBLE_EQ(form->BoilerTemperature(), 95.5);

    // An emptied field keeps its value and shows it again when the value is read.
    form->SEWTT->selectAll();
    QTest::keyClick(form->SEWTT, Qt::Key_Backspace);
    ASSERT_EQ(form->SEWTT->text(), QString());
    EXPECT_DOUBLE_EQ(form->BoilerTemperature(), 95.5);
    EXPECT_EQ(form->SEWTT->text(), QStringLiteral("95,5"));
}

TEST_F(FormmainTest, NumbersTypedBeyondTheRangeAreKeptUntilTheFieldIsLeftThenBounded) {
    form->show();
    form->SetSmokeInputsEnabled(true);
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    const struct {
        TSpinEdit* edit;
        const char* typed;
        const char* bounded;
        std::function<double()> read;  // as the take-over reads the field
    } fields[] = {{form->SEWTT, "130", "120,0", [&] { return form->BoilerTemperature(); }},
                  {form->SERZ1, "12", "10,0", [&] { return form->SmokeNumber(1); }},
                  {form->SERZ2, "10.5", "10,0", [&] { return form->SmokeNumber(2); }},
                  {form->SERZ3, "99", "10,0", [&] { return form->SmokeNumber(3); }}};
    for (const auto& field : fields) {
        const QString typed = QString::fromLatin1(field.typed);
        // Left with Tab: every digit stood while it was typed, then the nearest value
        // in range is shown and held.
        field.edit->setFocus(Qt::TabFocusReason);
        field.edit->selectAll();
        QTest::keyClicks(field.edit, typed);
        EXPECT_EQ(field.edit->text(), QString(typed).replace('.', ',')) << field.typed;
        QTest::keyClick(form->windowHandle(), Qt::Key_Tab);
        ASSERT_FALSE(field.edit->hasFocus()) << field.typed;
        EXPECT_EQ(field.edit->text(), QLatin1String(field.bounded)) << field.typed;
        EXPECT_DOUBLE_EQ(field.edit->value(), field.edit->maximum()) << field.typed;

        // Read by "Daten übernehmen" while the field still has the focus: the same value,
        // shown before it is returned.
        field.edit->setValue(1.0);
        field.edit->setFocus(Qt::TabFocusReason);
        field.edit->selectAll();
        QTest::keyClicks(field.edit, typed);
        EXPECT_DOUBLE_EQ(field.read(), field.edit->maximum()) << field.typed;
        EXPECT_EQ(field.edit->text(), QLatin1String(field.bounded)) << field.typed;
    }

    // Return bounds it too, and what can never be a number is still refused as typed.
    form->SEWTT->setFocus(Qt::TabFocusReason);
    form->SEWTT->selectAll();
    QTest::keyClicks(form->SEWTT, QStringLiteral("500"));
    QTest::keyClick(form->SEWTT, Qt::Key_Return);
    EXPECT_EQ(form->SEWTT->text(), QStringLiteral("120,0"));
    form->SEWTT->selectAll();
    QTest::keyClicks(form->SEWTT, QStringLiteral("-5x"));
    EXPECT_EQ(form->SEWTT->text(), QStringLiteral("5"));
}

TEST_F(FormmainTest, MainAndHelpWindowCarryTheProgramIcon) {
    TForm1 help;
    form->SetHelpWindow(&help);
    const QImage expected = ProgramIcon().pixmap(32).toImage();
    ASSERT_FALSE(expected.isNull());
    // Drawn, not an empty square: the motif's middle is opaque.
    EXPECT_EQ(expected.pixelColor(16, 16).alpha(), 255);
    for (QWidget* window : {static_cast<QWidget*>(form.get()), static_cast<QWidget*>(&help)}) {
        EXPECT_EQ(window->windowIcon().pixmap(32).toImage(), expected)
            << window->windowTitle().toStdString();
    }
}

TEST_F(FormmainTest, DisplayOperations) {
    form->SetStatusMessage(QString::fromUtf8("Fehler: Keine Antwort vom Gerät"));
    EXPECT_EQ(form->StatusMessage(), QString::fromUtf8("Fehler: Keine Antwort vom Gerät"));
    EXPECT_EQ(form->StatusPanel0->text(), QStringLiteral("Status:"));

    for (int n : {3, 1, 2}) {
        form->ShowConnectionPicture(n);
        EXPECT_EQ(form->ConnectionPicture(), n);
        EXPECT_EQ(form->Image->pixmap().toImage(), form->BTImageList[n].toImage());
    }
    form->ShowConnectionPicture(4);
    form->ShowConnectionPicture(-1);
    EXPECT_EQ(form->ConnectionPicture(), 2);

    const QString id = QStringLiteral("ZOR GX40 SN 4711");
    form->SetIdentificationLabel(id);
    EXPECT_EQ(form->USBLabel->x(), 48);
    EXPECT_GE(form->USBLabel->width(), form->USBLabel->fontMetrics().horizontalAdvance(id));
    EXPECT_EQ(form->USBLabel->toolTip(), QString());
    // Too long for the room: elided before "Abbrechen" (and within "Was ist zu tun?" while
    // that shows); the whole text stays the label's value, its tooltip and its description.
    const QString longId = QStringLiteral("ZOR 730 Tarvo V1.02 SN 2019-004711 DEMO");
    form->SetIdentificationLabel(longId);
    EXPECT_EQ(form->IdentificationLabel(), longId);
    EXPECT_EQ(form->USBLabel->x(), 48);
    EXPECT_LT(form->USBLabel->geometry().right(), form->BTBreak->x());
    form->SetBtWastunVisible(true);
    EXPECT_LE(form->USBLabel->geometry().right(), form->BtWastun->geometry().right());
    EXPECT_EQ(form->IdentificationLabel(), longId);
    EXPECT_TRUE(form->USBLabel->text().endsWith(QChar(0x2026)))
        << form->USBLabel->text().toStdString();
    EXPECT_GE(form->USBLabel->width(),
              form->USBLabel->fontMetrics().horizontalAdvance(form->USBLabel->text()));
    EXPECT_EQ(form->USBLabel->toolTip(), longId);
    EXPECT_EQ(form->USBLabel->accessibleDescription(), longId);
    form->SetBtWastunVisible(false);
    form->SetIdentificationLabel(QStringLiteral("ZOR"));
    EXPECT_EQ(form->USBLabel->width(), 97);
    EXPECT_EQ(form->USBLabel->toolTip(), QString());

    // The mean's fill in the first panel, which keeps its width: the longest text fits.
    form->ShowMeanFill(300, 300);
    EXPECT_EQ(form->StatusPanel0->text(), QStringLiteral("Mittel 300/300 s"));
    EXPECT_LE(form->StatusPanel0->fontMetrics().horizontalAdvance(form->StatusPanel0->text()),
              form->StatusPanel0->contentsRect().width());
    EXPECT_EQ(form->StatusPanel0->width(), 80);
    form->ShowMeanFill(0, 0);
    EXPECT_EQ(form->StatusPanel0->text(), QStringLiteral("Status:"));

    form->SetBtExitEnabled(true);
    EXPECT_TRUE(form->BtExit->isEnabled());
    form->SetBtWastunVisible(true);
    EXPECT_FALSE(form->BtWastun->isHidden());
    form->SetBtWastunVisible(false);
    EXPECT_TRUE(form->BtWastun->isHidden());
}

TEST_F(FormmainTest, PortsTheUserMayNotOpenReachTheHelpWindow) {
    TForm1 help;
    form->SetHelpWindow(&help);
    form->SetPortsWithoutPermission({QStringLiteral("COM5 (/dev/rfcomm0)")});
    form->ZeigeHilfeText(3);
    EXPECT_TRUE(help.HTMLView->toPlainText().contains(QStringLiteral("COM5 (/dev/rfcomm0)")));
}

TEST_F(FormmainTest, DoubleClickOnTheConnectionPictureIsReported) {
    QSignalSpy spy(form->Image, &TImage::activated);
    QTest::mouseClick(form->Image, Qt::LeftButton);
    EXPECT_EQ(spy.count(), 0);
    QTest::mouseDClick(form->Image, Qt::RightButton);
    EXPECT_EQ(spy.count(), 0);
    QTest::mouseDClick(form->Image, Qt::LeftButton);
    EXPECT_EQ(spy.count(), 1);
}

TEST_F(FormmainTest, ConnectionPicturesAreDistinctArtworkOfTheirSize) {
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(form->BTImageList[i].size(), QSize(32, 44));
        for (int j = 0; j < i; ++j) {
            EXPECT_NE(form->BTImageList[i].toImage(), form->BTImageList[j].toImage());
        }
    }
    // The badge in the upper half carries the state colour: red for the error picture,
    // green for online data.
    const QColor error = form->BTImageList[1].toImage().pixelColor(9, 10);
    EXPECT_GT(error.red(), error.green() + error.blue());
    const QColor online = form->BTImageList[3].toImage().pixelColor(9, 10);
    EXPECT_GT(online.green(), online.red() + online.blue());
}

TEST_F(FormmainTest, FirstShowCentresTheWindowAndIsReportedOnce) {
    QSignalSpy spy(form.get(), &TFormmain::firstShown);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    form->hide();
    form->show();
    EXPECT_EQ(spy.count(), 1);
    const QRect screen = form->screen()->availableGeometry();
    EXPECT_LE((form->frameGeometry().center() - screen.center()).manhattanLength(), 2);
}

/// Counts the paint events of chosen widgets.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(const std::vector<QWidget*>& widgets) {
        for (QWidget* widget : widgets) {
            widget->installEventFilter(this);
        }
    }
    std::map<QString, int> paints;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints[watched->objectName().isEmpty()
                         ? QString::fromLatin1(watched->metaObject()->className())
                         : watched->objectName()];
        }
        return false;
    }
};

TEST(ErrorStateDisplay, ReShowingItEveryTickRedrawsAndReloadsNothing) {
    // Nothing answers (there is no port at all): the first tick's search fails and every
    // later tick shows the same error state again.
    ManualClock clock;
    ScriptedPorts none;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    WindowSetup setup = StillSetup(clock, none);
    setup.link.files = {dir.filePath(QStringLiteral("fumilink.ini")).toStdString(),
                        dir.filePath(QStringLiteral("debug.log")).toStdString()};
    TForm1 help;
    TFormmain form(std::move(setup));
    form.SetHelpWindow(&help);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    ASSERT_TRUE(clock.RunUntil([&] {
        return !form.Link->Poll().FirstTickPending() && !form.Link->Busy() &&
               form.Link->ErrorCode() > 0 && form.BtWastun->isVisible();
    }));
    form.BtWastunClick();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&help));
    help.HTMLView->verticalScrollBar()->setValue(help.HTMLView->verticalScrollBar()->maximum());

    // Two ticks, and the paints they asked for.
    clock.Advance(std::chrono::milliseconds(200));
    QTest::qWait(100);
    const int scrolled = help.HTMLView->verticalScrollBar()->value();
    PaintCounter counter({form.Image, form.StatusPanel1, form.BtWastun, form.LabelO2, form.LabelP,
                          help.HTMLView->viewport()});
    // Ten more ticks, and time for the repaints asked for by the last one.
    clock.Advance(std::chrono::milliseconds(1000));
    QTest::qWait(100);

    EXPECT_TRUE(counter.paints.empty()) << ::testing::PrintToString(counter.paints);
    EXPECT_EQ(help.HTMLView->verticalScrollBar()->value(), scrolled);
    EXPECT_EQ(form.ConnectionPicture(), 1);
    EXPECT_EQ(help.SelectedPage(), form.Link->ErrorCode());
}

}  // namespace
