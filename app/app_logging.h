#pragma once
// The program start's part of the session record: version, platform, command line (never
// the header line's text), demo, and how the run ended.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcApp)
