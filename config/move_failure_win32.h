#pragma once
// What a failed ReplaceFileW or MoveFileExW means for the safe replace (atomic_write_win32.cpp).

#include "config/step_outcome.h"

/// The outcome of a replace or rename that failed with GetLastError() `code`: InUse for a
/// sharing violation and ERROR_UNABLE_TO_REMOVE_REPLACED, Busy for access denied and a
/// lock violation, TargetGone for ERROR_UNABLE_TO_MOVE_REPLACEMENT(_2), else Failed.
StepOutcome MoveFailureOutcome(unsigned long code);
