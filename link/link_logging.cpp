#include "link/link_logging.h"

Q_LOGGING_CATEGORY(lcLink, "fumilink.link", QtInfoMsg)
