#include "ui/unattended_presses.h"

#include <QMetaObject>
#include <utility>

#include "ui/ui_logging.h"

namespace {

// The poll tick's own period: a press comes at most one tick after its time.
constexpr std::chrono::milliseconds kLookEvery{100};

}  // namespace

UnattendedPresser::UnattendedPresser(LinkClock& clock, QAbstractButton& takeOver,
                                     QAbstractButton& abort, std::function<bool()> inErrorState,
                                     UnattendedPresses presses)
    : clock_(clock),
      takeOver_(takeOver),
      abort_(abort),
      inErrorState_(std::move(inErrorState)),
      pending_(std::move(presses)),
      timer_(clock.MakeTimer(kLookEvery, [this] { Check(); })) {
    timer_->Start();
}

UnattendedPresser::~UnattendedPresser() {
    timer_->Stop();
}

void UnattendedPresser::Check() {
    if (!countingSince_) {
        if (!takeOver_.isEnabled() && !inErrorState_()) {
            return;
        }
        countingSince_ = clock_.Now();
    }
    const std::chrono::milliseconds counted = clock_.Now() - *countingSince_;
    if (pending_.takeOverAfter && counted >= *pending_.takeOverAfter) {
        if (takeOver_.isEnabled()) {
            Press(takeOver_, pending_.takeOverAfter);
        } else if (inErrorState_()) {
            // Given back if "Abbrechen" cannot be pressed by then, to be looked at again.
            Press(abort_, pending_.takeOverAfter);
            pending_.abortAfter.reset();  // one "Abbrechen" is enough
        }
    }
    if (pending_.abortAfter && counted >= *pending_.abortAfter) {
        Press(abort_, pending_.abortAfter);
    }
}

void UnattendedPresser::Press(QAbstractButton& button,
                              std::optional<std::chrono::milliseconds>& pending) {
    const std::chrono::milliseconds after = *std::exchange(pending, std::nullopt);
    // Not from inside this timer's handler: the take-over waits in the event loop, and the
    // timer must go on meanwhile, for an "Abbrechen" that is due during it.
    QMetaObject::invokeMethod(
        this,
        [this, &button, &pending, after] {
            if (button.isEnabled()) {
                qCInfo(lcUi).noquote()
                    << QStringLiteral("unattended press: %1 (%2 %3 s after the first live values)")
                           .arg(button.text(),
                                QLatin1String(&button == &takeOver_ ? "--take-over-after"
                                                                    : "--abort-after"),
                                QString::number(static_cast<double>(after.count()) / 1000.0));
                pressing_ = true;
                button.click();
                pressing_ = false;
            } else {
                pending = after;  // the stream stopped just now: when it runs again
            }
        },
        Qt::QueuedConnection);
}
