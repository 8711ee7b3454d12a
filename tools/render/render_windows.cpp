// Renders the main window and the help window to PNG files so that anyone can look
// at them without running the program against an analyser:
//   fumilink-render OUTPUT_DIR [--hold MILLISECONDS]
// Writes formmain_start.png, formmain_values.png, form1_start.png, form1_page3.png and,
// when a real screen is there (e.g. Xvfb), screen.png with both windows as mapped.
// --hold keeps the windows on screen that long before quitting, for external grabbers.

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QScreen>
#include <QTextBrowser>
#include <QThread>
#include <cstdio>
#include <cstring>

#include "ui/formmain.h"
#include "ui/help_window.h"

namespace {

bool Save(const QPixmap& pixmap, const QDir& dir, const char* name) {
    const QString path = dir.filePath(QString::fromLatin1(name));
    if (!pixmap.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

void Settle(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    do {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    } while (timer.elapsed() < milliseconds);
}

/// A clock that never moves: the window's link never ticks, so no search replaces the
/// state the pictures show.
class StillClock final : public LinkClock {
public:
    class StillTimer final : public Timer {
    public:
        void Start() override { active_ = true; }
        void Stop() override { active_ = false; }
        bool IsActive() const override { return active_; }
        std::chrono::milliseconds Interval() const override { return {}; }

    private:
        bool active_ = false;
    };
    std::chrono::milliseconds Now() const override { return {}; }
    std::unique_ptr<Timer> MakeTimer(std::chrono::milliseconds, std::function<void()>) override {
        return std::make_unique<StillTimer>();
    }
    void WaitForEvents() override { QApplication::processEvents(); }
    void ProcessPendingEvents() override { QApplication::processEvents(); }
};

void ShowAllValues(TFormmain& form) {
    const struct {
        int channel;
        double value;
    } values[] = {{1, 20.9},  {2, 12.3},  {3, 125.0}, {4, 48.0},   {8, 21.6},
                  {9, 182.4}, {10, 1.24}, {11, 93.1}, {12, -0.12}, {13, 6.9}};
    MeasurementRecord record;
    for (const auto& v : values) {
        record.values[v.channel - 1] = v.value;
        record.valid[v.channel - 1] = true;
    }
    form.DispData(record);
    form.ShowConnectionPicture(3);
    form.SetStatusMessage(QStringLiteral("Onlinedaten werden empfangen"));
    form.SetIdentificationLabel(QStringLiteral("ZOR GX40 0815"));
    form.SetBtExitEnabled(true);
    form.CBRZaktiv->setChecked(true);
    form.SetSmokeInputsEnabled(true);
    form.SERZ1->setValue(1.5);
    form.SERZ2->setValue(10.0);
    form.SERZ3->setValue(0.5);
    form.SEWTT->setValue(120.0);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR [--hold MILLISECONDS]\n", argv[0]);
        return 2;
    }
    int hold = 0;
    if (argc == 4 && std::strcmp(argv[2], "--hold") == 0) {
        hold = std::atoi(argv[3]);
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.exists()) {
        std::fprintf(stderr, "no such folder: %s\n", argv[1]);
        return 2;
    }

    StillClock clock;
    WindowSetup setup;
    setup.link.clock = &clock;
    TFormmain formmain(std::move(setup));
    TForm1 form1;
    // Showing the window sets its inputs by the (empty) command line and switches the poll
    // timer on, whose first tick would search the serial ports; on the still clock it never
    // comes.
    formmain.show();
    Settle(300);
    bool ok = Save(formmain.grab(), dir, "formmain_start.png");
    form1.show();
    Settle(300);
    ok = Save(form1.grab(), dir, "form1_start.png") && ok;

    ShowAllValues(formmain);
    form1.ZeigeHilfeText(3);
    formmain.SetBtWastunVisible(false);
    Settle(300);
    ok = Save(formmain.grab(), dir, "formmain_values.png") && ok;
    ok = Save(form1.grab(), dir, "form1_page3.png") && ok;

    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        ok = Save(QGuiApplication::primaryScreen()->grabWindow(0), dir, "screen.png") && ok;
    }
    if (hold > 0) {
        Settle(hold);
    }
    return ok ? 0 : 1;
}
