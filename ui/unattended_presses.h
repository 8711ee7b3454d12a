#pragma once
// An unattended demo: the window presses "Daten übernehmen" or "Abbrechen" by itself, so
// that a calling program's developer can run their program and Fumilink end to end in
// their own tests, with nobody at the screen, for either outcome.

#include <QAbstractButton>
#include <QObject>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "link/link_clock.h"

/// Which buttons to press, each this long after the first live values (or after the search
/// ended in an error state without any).
struct UnattendedPresses {
    std::optional<std::chrono::milliseconds> takeOverAfter;  ///< "Daten übernehmen"
    std::optional<std::chrono::milliseconds> abortAfter;     ///< "Abbrechen"

    bool Any() const { return takeOverAfter || abortAfter; }
};

/// Presses the buttons on the link's clock. The times count from the first live values (the
/// moment "Daten übernehmen" is first enabled) or, when the link is in an error state before
/// any came, from that moment: a run that finds no analyser must end as well. From then on
/// each press comes once its time has passed, "Daten übernehmen" as soon as it can be
/// pressed (while live values arrive). A take-over due while the link is in an error state
/// can never come; "Abbrechen" is pressed in its place, so the run ends without a file.
/// A press is a click from the event loop, as the user's is: it runs the button's action
/// with its status texts, and a take-over that fails leaves the window open as after a
/// click.
class UnattendedPresser : public QObject {
    Q_OBJECT
public:
    /// `takeOver` and `abort` must outlive the presser; the clock too. `inErrorState` tells
    /// whether the link shows an error state with nothing running.
    UnattendedPresser(LinkClock& clock, QAbstractButton& takeOver, QAbstractButton& abort,
                      std::function<bool()> inErrorState, UnattendedPresses presses);
    ~UnattendedPresser() override;

    /// True while a press of this presser runs the button's action, which then leaves it
    /// to the presser to tell the record (the press is no user's click).
    bool Pressing() const { return pressing_; }

private:
    void Check();
    /// Clicks `button` from the event loop; `pending` is given back where the button can
    /// no longer be pressed by then.
    void Press(QAbstractButton& button, std::optional<std::chrono::milliseconds>& pending);

    LinkClock& clock_;
    QAbstractButton& takeOver_;
    QAbstractButton& abort_;
    std::function<bool()> inErrorState_;
    UnattendedPresses pending_;
    std::optional<std::chrono::milliseconds> countingSince_;
    std::unique_ptr<LinkClock::Timer> timer_;
    bool pressing_ = false;
};
