#include "app/toolkit_start.h"

#include <QByteArray>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/start_notice.h"
#include "ui/program_icon.h"
#include "ui/ui_fonts.h"

namespace {

struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};

// The message handler is a plain function, so what it needs lives here for the few
// moments of the start.
std::vector<HeldMessage> gHeld;
int gExitCode = 1;
ToolkitFailureHook gOnFailure = nullptr;

void HoldOrEnd(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        const std::string why = ToolkitFailure();
        std::fprintf(stderr, "fumilink: %s\n", why.c_str());
        std::fflush(stderr);
        if (gOnFailure != nullptr) {
            gOnFailure(why.c_str());
        }
        // The toolkit is half made: nothing of it may be torn down, and nothing else is
        // held that the system would not release.
        std::_Exit(gExitCode);
    }
    gHeld.push_back({type, context.category, text});
}

}  // namespace

std::unique_ptr<QApplication> StartToolkit(ToolkitArguments& toolkit, int exitCode,
                                           ToolkitFailureHook onFailure) {
    // What the toolkit says while it starts is held back: when it fails, its many lines
    // would bury the one that says why.
    gExitCode = exitCode;
    gOnFailure = onFailure;
    const QtMessageHandler previous = qInstallMessageHandler(HoldOrEnd);
    auto app = std::make_unique<QApplication>(toolkit.Count(), toolkit.Values());
    qInstallMessageHandler(previous);
    for (const HeldMessage& message : gHeld) {
        const QMessageLogContext context(nullptr, 0, nullptr, message.category.constData());
        previous(message.type, context, message.text);
    }
    gHeld.clear();
    UseUiFontAsApplicationFont();
    // The windows carry the icon themselves; this one is for the message boxes, such as
    // a second copy's, which stands alone in the task bar.
    QApplication::setWindowIcon(ProgramIcon());
    return app;
}
