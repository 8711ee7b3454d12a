#include <cstdlib>

#include "app/locale_text.h"

std::string ReadLocaleText() {
    return LocaleTextFromEnvironment(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"),
                                     std::getenv("LANG"));
}
