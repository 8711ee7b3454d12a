#pragma once
// FUMILINK_TEST_STATUS=stderr: every new status text of the main window becomes a line
// "Status: TEXT" (UTF-8) on standard error. The tests of the Windows program under Wine
// cannot read the window's texts (no accessibility there); this is how they see them.

#include <QString>

/// Writes `text` as a status line when FUMILINK_TEST_STATUS=stderr; does nothing otherwise.
void TraceStatusText(const QString& text);
