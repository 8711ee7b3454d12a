#include "ui/ui_logging.h"

Q_LOGGING_CATEGORY(lcUi, "fumilink.ui", QtInfoMsg)
