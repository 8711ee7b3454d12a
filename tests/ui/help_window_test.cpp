#include "ui/help_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "tests/ui/qstring_printer.h"
#include "ui/help_pages.h"
#include "ui/message_boxes.h"
#include "ui/shell_open.h"

namespace {

QString PlainText(const char* html) {
    QTextDocument document;
    document.setHtml(QString::fromUtf8(html));
    return document.toPlainText();
}

std::vector<QString> LinkTargets(const QTextDocument& document) {
    std::vector<QString> targets;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().isAnchor()) {
                targets.push_back(it.fragment().charFormat().anchorHref());
            }
        }
    }
    return targets;
}

class Form1Test : public ::testing::Test {
protected:
    void SetUp() override {
        form = std::make_unique<TForm1>();
        SetShellOpenHook([this](const std::string& target) { opened.push_back(target); });
    }
    void TearDown() override { SetShellOpenHook(nullptr); }

    QString Headline() const { return form->HTMLView->toPlainText().section('\n', 0, 0); }

    std::unique_ptr<TForm1> form;
    std::vector<std::string> opened;
};

TEST_F(Form1Test, StartsHiddenWithThePairingGuide) {
    EXPECT_TRUE(form->isHidden());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Hilfe"));
    EXPECT_EQ(form->SelectedPage(), 4);
    EXPECT_EQ(Headline(),
              QString::fromUtf8("ZOR Messgerät mit Bluetoothmodul anmelden (Windows XP/Vista)"));
    EXPECT_FALSE(form->HTMLView->openLinks());
    EXPECT_FALSE(form->testAttribute(Qt::WA_QuitOnClose));
    EXPECT_EQ(form->Panel1->height(), 41);
    EXPECT_EQ(form->BitBtn1->text(), QStringLiteral("OK"));
    EXPECT_EQ(form->BitBtn1->size(), QSize(80, 25));
}

TEST_F(Form1Test, ZeigeHilfeTextSelectsPageAndCaption) {
    form->ZeigeHilfeText(3);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Was ist zu tun? (3)"));
    EXPECT_EQ(form->SelectedPage(), 3);
    EXPECT_EQ(Headline(), QString::fromUtf8("Messgerät nicht gefunden"));

    form->ZeigeHilfeText(7);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Was ist zu tun? (7)"));
    EXPECT_EQ(Headline(), QStringLiteral("Benutzerabbruch"));

    for (int32_t code : {8, -1, INT32_MIN, INT32_MAX}) {
        form->ZeigeHilfeText(code);
        EXPECT_EQ(form->windowTitle(), QStringLiteral("Was ist zu tun? (7)")) << code;
        EXPECT_EQ(form->SelectedPage(), 7);
        EXPECT_EQ(Headline(), QStringLiteral("Benutzerabbruch"));
    }
    form->ZeigeHilfeText(0);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Was ist zu tun? (0)"));
    EXPECT_EQ(form->SelectedPage(), 0);
}

namespace {
QStringList logged;
void CollectUiLines(QtMsgType, const QMessageLogContext& context, const QString& message) {
    if (QLatin1String(context.category) == QLatin1String("fumilink.ui")) {
        logged << message;
    }
}
}  // namespace

TEST_F(Form1Test, PageChosenWhileHiddenAppearsWhenShownAndSurvivesOk) {
    form->ZeigeHilfeText(2);
    form->ZeigeHilfeText(5);
    // The session record learns of the opening and of a page chosen while it is open.
    logged.clear();
    const QtMessageHandler before = qInstallMessageHandler(&CollectUiLines);
    form->show();
    form->ZeigeHilfeText(6);
    form->ZeigeHilfeText(5);
    qInstallMessageHandler(before);
    EXPECT_EQ(logged,
              QStringList({QStringLiteral("help window opens: page 5, \"Was ist zu tun? (5)\""),
                           QStringLiteral("help window shows page 6"),
                           QStringLiteral("help window shows page 5")}));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Was ist zu tun? (5)"));
    EXPECT_EQ(Headline(), QStringLiteral("COM-Port des PCs belegt"));

    QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
    EXPECT_TRUE(form->isHidden());
    form->show();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Was ist zu tun? (5)"));
    EXPECT_EQ(form->SelectedPage(), 5);
    EXPECT_EQ(Headline(), QStringLiteral("COM-Port des PCs belegt"));
}

// A port the user may not open (Linux: not in the group dialout) is the reason page 3
// gives first; the rest of the page stays as it is.
TEST_F(Form1Test, PortsTheUserMayNotOpenComeFirstOnPageThree) {
    form->ZeigeHilfeText(3);
    form->SetPortsWithoutPermission({QStringLiteral("COM5 (/dev/rfcomm0)")});
    EXPECT_EQ(Headline(), QStringLiteral("Kein Zugriff auf die Schnittstelle"));
    const QString text = form->HTMLView->toPlainText();
    EXPECT_TRUE(text.contains(QStringLiteral("Ihr Benutzer darf COM5 (/dev/rfcomm0) nicht")));
    EXPECT_TRUE(text.contains(QStringLiteral("adduser BENUTZER dialout")));
    EXPECT_TRUE(text.contains(QStringLiteral("70-fumilink-rfcomm.rules")));
    const QString beforeSupport =
        text.left(text.lastIndexOf(QString::fromUtf8("\nFür den Support")));
    EXPECT_TRUE(beforeSupport.trimmed().endsWith(PlainText(HelpPages()[3]).trimmed()))
        << text.toStdString();

    form->ZeigeHilfeText(2);
    EXPECT_FALSE(form->HTMLView->toPlainText().contains(QStringLiteral("dialout")));
    form->SetPortsWithoutPermission(
        {QStringLiteral("COM5 (/dev/rfcomm0)"), QStringLiteral("COM6 (/dev/rfcomm<1>)")});
    form->ZeigeHilfeText(3);
    EXPECT_TRUE(form->HTMLView->toPlainText().contains(
        QStringLiteral("COM5 (/dev/rfcomm0) und COM6 (/dev/rfcomm<1>) nicht")));

    form->SetPortsWithoutPermission({});
    EXPECT_EQ(Headline(), QString::fromUtf8("Messgerät nicht gefunden"));
}

TEST_F(Form1Test, SelectingTheShownPageAgainKeepsWhereTheReaderScrolledTo) {
    form->resize(592, 382);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QScrollBar* bar = form->HTMLView->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0) << "the pairing guide is longer than the view";
    bar->setValue(bar->maximum());

    // The error display selects its page on every poll tick.
    for (int tick = 0; tick < 3; ++tick) {
        form->ZeigeHilfeText(4);
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Was ist zu tun? (4)"));
    EXPECT_EQ(bar->value(), bar->maximum());

    // Another page starts at its top.
    form->ZeigeHilfeText(3);
    EXPECT_EQ(Headline(), QString::fromUtf8("Messgerät nicht gefunden"));
    EXPECT_EQ(bar->value(), 0);
    form->ZeigeHilfeText(4);
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(Headline(),
              QString::fromUtf8("ZOR Messgerät mit Bluetoothmodul anmelden (Windows XP/Vista)"));
}

TEST_F(Form1Test, OpensWithOkFocusedAndReturnOrEscapeHidesIt) {
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    EXPECT_EQ(QApplication::focusWidget(), form->BitBtn1);
    // Focused, yet not the default button: the Windows style animates that one without pause.
    EXPECT_FALSE(form->BitBtn1->isDefault());

    // Escape closes it from the page view too, which has no use for the key itself.
    form->HTMLView->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(form->HTMLView, Qt::Key_Escape);
    EXPECT_TRUE(form->isHidden());

    // Opened again, "OK" is what gets the focus, not the view that had it when it closed.
    // (The offscreen platform does not activate a window again after hiding it, so the
    // window's own focus widget is what shows that.)
    form->show();
    EXPECT_EQ(form->focusWidget(), form->BitBtn1);
    QTest::keyClick(form->windowHandle(), Qt::Key_Return);
    EXPECT_TRUE(form->isHidden());
}

TEST_F(Form1Test, OkButtonStaysCentredInThePanel) {
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    EXPECT_EQ(form->Panel1->width(), 592);
    EXPECT_EQ(form->BitBtn1->x(), 256);
    for (const auto& [width, left] :
         {std::pair{701, 310}, std::pair{600, 260}, std::pair{401, 160}}) {
        form->resize(width, form->height());
        QTRY_COMPARE_WITH_TIMEOUT(form->Panel1->width(), width, 5000);
        EXPECT_EQ(form->BitBtn1->x(), left) << width;
        EXPECT_EQ(form->BitBtn1->y(), 8);
        EXPECT_EQ(form->BitBtn1->width(), 80);
    }
}

TEST_F(Form1Test, ClickingTheBluetoothLinkOpensItAndKeepsTheWindow) {
    form->resize(592, 382);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));

    // Find the link in the shown page and click it where it is drawn.
    QTextCursor cursor;
    const QTextDocument& document = *form->HTMLView->document();
    for (QTextBlock block = document.begin(); block.isValid() && cursor.isNull();
         block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().anchorHref() == QStringLiteral("bthprops.cpl")) {
                cursor = QTextCursor(form->HTMLView->document());
                cursor.setPosition(it.fragment().position() + 1);
                break;
            }
        }
    }
    ASSERT_FALSE(cursor.isNull());
    form->HTMLView->setTextCursor(cursor);
    form->HTMLView->ensureCursorVisible();
    const QPoint where = form->HTMLView->cursorRect(cursor).center();
    ASSERT_EQ(form->HTMLView->anchorAt(where), QStringLiteral("bthprops.cpl"));
    QTest::mouseClick(form->HTMLView->viewport(), Qt::LeftButton, {}, where);

    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], "bthprops.cpl");
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->SelectedPage(), 4);
}

TEST_F(Form1Test, LinkTargetsReachTheShellInTheSingleByteCodePage) {
    form->LinkClick(QUrl(QString::fromUtf8("Gerät.cpl")));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], "Ger\xE4t.cpl");
}

TEST(HelpPages, HeadlinesAndSharedBodies) {
    const char* const headlines[8] = {
        "ZOR Messgerät mit Bluetoothmodul anmelden (Windows XP/Vista)",
        "Keinen funktionierenden COM-Port gefunden",
        "Keine Antwort vom Gerät erhalten",
        "Messgerät nicht gefunden",
        "ZOR Messgerät mit Bluetoothmodul anmelden (Windows XP/Vista)",
        "COM-Port des PCs belegt",
        "Initialisierungsfehler der Schnittstellet",
        "Benutzerabbruch",
    };
    for (int page = 0; page < 8; ++page) {
        const QString text = PlainText(HelpPages()[page]);
        EXPECT_EQ(text.section('\n', 0, 0), QString::fromUtf8(headlines[page])) << page;
        EXPECT_GT(text.size(), QString::fromUtf8(headlines[page]).size() + 40) << page;
    }
    EXPECT_STREQ(HelpPages()[0], HelpPages()[4]);
    EXPECT_EQ(PlainText(HelpPages()[5]).section('\n', 1),
              PlainText(HelpPages()[6]).section('\n', 1));
    EXPECT_TRUE(PlainText(HelpPages()[7]).contains(QStringLiteral("Abbrechen")));
    EXPECT_TRUE(PlainText(HelpPages()[2]).contains(QStringLiteral("Reichweite")));
    EXPECT_TRUE(PlainText(HelpPages()[3]).contains(QStringLiteral("Doppelklicken")));
}

TEST(HelpPages, OnlyThePairingGuideLinksToTheBluetoothPanel) {
    for (int page = 0; page < 8; ++page) {
        QTextDocument document;
        document.setHtml(QString::fromUtf8(HelpPages()[page]));
        const std::vector<QString> targets = LinkTargets(document);
        if (page == 0 || page == 4) {
            ASSERT_EQ(targets.size(), 1u) << page;
            EXPECT_EQ(targets[0], QStringLiteral("bthprops.cpl"));
        } else {
            EXPECT_TRUE(targets.empty()) << page;
        }
    }
}

TEST(MessageBoxes, HookReceivesKindAndTextInsteadOfADialog) {
    std::vector<std::pair<MessageKind, QString>> shown;
    SetMessageBoxHook(
        [&](MessageKind kind, const QString& text) { shown.emplace_back(kind, text); });
    ShowErrorBox(QStringLiteral("Fehler beim Laden der Init-Datei"));
    ShowInfoBox(QStringLiteral("Fehler beim Speichern der Datei data.csv"));
    SetMessageBoxHook(nullptr);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].first, MessageKind::Error);
    EXPECT_EQ(shown[0].second, QStringLiteral("Fehler beim Laden der Init-Datei"));
    EXPECT_EQ(shown[1].first, MessageKind::Info);
}

}  // namespace

TEST_F(Form1Test, EveryPageOpensTheSessionRecordsFolderForSupport) {
    for (int page = 0; page < 8; ++page) {
        form->ZeigeHilfeText(page);
        const std::vector<QString> targets = LinkTargets(*form->HTMLView->document());
        EXPECT_NE(std::find(targets.begin(), targets.end(), QStringLiteral("fumilink:records")),
                  targets.end())
            << page;
    }
    // The folder goes to the shell as the file system names it, not in the code page the
    // other link targets take.
    const QByteArray before = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", "/tmp/Zust\xC3\xA4nde");
    form->LinkClick(QUrl(QStringLiteral("fumilink:records")));
    if (before.isNull()) {
        qunsetenv("XDG_STATE_HOME");
    } else {
        qputenv("XDG_STATE_HOME", before);
    }
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], "/tmp/Zust\xC3\xA4nde/fumilink/logs");
}

TEST_F(Form1Test, ThePageNamesTheRecordsFolderAndSaysSoWhenItCannotBeOpened) {
    QTemporaryDir records;
    const QString folder = records.filePath(QStringLiteral("<Protokolle>"));
    form->SetRecordFolder(folder);
    const QString named = QStringLiteral("Ordner: ") + QDir::toNativeSeparators(folder);
    EXPECT_TRUE(form->HTMLView->toPlainText().contains(named))
        << form->HTMLView->toPlainText().toStdString();
    form->LinkClick(QUrl(QStringLiteral("fumilink:records")));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(QString::fromStdString(opened[0]), folder);
    EXPECT_FALSE(form->HTMLView->toPlainText().contains(QString::fromUtf8("nicht öffnen")));
#ifndef Q_OS_WIN
    // No file manager to ask: the page says so, and the folder stays named on every page.
    SetShellOpenHook(nullptr);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", records.path().toLocal8Bit());
    form->LinkClick(QUrl(QStringLiteral("fumilink:records")));
    qputenv("PATH", path);
    form->ZeigeHilfeText(2);
    EXPECT_TRUE(form->HTMLView->toPlainText().contains(
        QString::fromUtf8("Der Ordner lässt sich auf diesem PC nicht öffnen")))
        << form->HTMLView->toPlainText().toStdString();
    EXPECT_TRUE(form->HTMLView->toPlainText().contains(named));
#endif
    // Records switched off: no link to a folder that has none.
    form->SetRecordFolder(QString());
    EXPECT_TRUE(form->HTMLView->toPlainText().contains(
        QString::fromUtf8("Auf diesem PC schreibt Fumilink keine Sitzungsprotokolle")));
    const std::vector<QString> targets = LinkTargets(*form->HTMLView->document());
    EXPECT_EQ(std::find(targets.begin(), targets.end(), QStringLiteral("fumilink:records")),
              targets.end());
}
