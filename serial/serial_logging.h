#pragma once
// The serial layer's part of the session record (opens, hang-ups, closes).

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcSerial)
