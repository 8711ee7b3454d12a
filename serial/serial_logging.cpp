#include "serial/serial_logging.h"

Q_LOGGING_CATEGORY(lcSerial, "fumilink.serial", QtInfoMsg)
