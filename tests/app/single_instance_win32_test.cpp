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

// A first copy that runs elevated creates a mutex the user's copies may not open:
// CreateMutex then fails with access denied instead of reporting that it exists.
TEST(SingleInstanceGuard, AGuardThatMayNotBeOpenedMeansACopyIsRunning) {
    const std::string name = "fumilink-denied-" + std::to_string(GetCurrentProcessId()) + ".exe";
    SECURITY_DESCRIPTOR nobodyMayOpen;
    ASSERT_TRUE(InitializeSecurityDescriptor(&nobodyMayOpen, SECURITY_DESCRIPTOR_REVISION));
    ACL empty;
    ASSERT_TRUE(InitializeAcl(&empty, sizeof empty, ACL_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&nobodyMayOpen, TRUE, &empty, FALSE));
    SECURITY_ATTRIBUTES attributes{sizeof attributes, &nobodyMayOpen, FALSE};
    HANDLE first = CreateMutexA(&attributes, TRUE, name.c_str());
    ASSERT_NE(first, nullptr);

    SingleInstanceGuard second(name);
    EXPECT_FALSE(second.Acquire());
    EXPECT_FALSE(second.Held());
    CloseHandle(first);
}
