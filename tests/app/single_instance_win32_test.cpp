// The Windows guard is a named mutex; a second CreateMutexA of the same name reports
// ERROR_ALREADY_EXISTS within one process as well, so one process can play both copies.

#include "app/single_instance.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

TEST(SingleInstanceGuard, SecondGuardOfTheNameIsRefusedUntilTheFirstIsReleased) {
    const std::string name = "fumilink-test-" + std::to_string(GetCurrentProcessId()) + ".exe";
    SingleInstanceGuard first(name);
    ASSERT_TRUE(first.Acquire());
    EXPECT_TRUE(first.Held());

    SingleInstanceGuard second(name);
    EXPECT_FALSE(second.Acquire());
    EXPECT_FALSE(second.Held());  // it must not keep the first copy's mutex open

    SingleInstanceGuard otherName("other-" + name);
    EXPECT_TRUE(otherName.Acquire());

    first.Release();
    EXPECT_FALSE(first.Held());
    SingleInstanceGuard third(name);
    EXPECT_TRUE(third.Acquire());
}
