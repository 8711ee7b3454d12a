#pragma once
// The link's part of the session record: the search, every command and reply, the stream
// (its first lines, then a cycle now and then; every line at debug level, which
// QT_LOGGING_RULES="fumilink.link.debug=true" turns on), gaps, error states, the take-over.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcLink)
