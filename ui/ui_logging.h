#pragma once
// The windows' part of the session record: message boxes and what the user did.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcUi)
