#include "app/locale_text.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(ReadLocaleText, FirstNonEmptyVariableOfTheProcessDecides) {
    setenv("LC_ALL", "", 1);
    setenv("LC_MESSAGES", "en_US.UTF-8", 1);
    setenv("LANG", "de_DE.UTF-8", 1);
    EXPECT_EQ(ReadLocaleText(), "00000409");
    unsetenv("LC_MESSAGES");
    EXPECT_EQ(ReadLocaleText(), "00000407");
}
