// TComm keeps its port to itself on Linux (Wine lets a second exclusive open through, so
// this runs on Linux only).

#include <sys/ioctl.h>

#include <gtest/gtest.h>

#include "serial/tcomm.h"
#include "tests/support/pty_pair.h"

TEST(TCommExclusive, PortIsExclusiveAndReleasedAgainOnClose) {
    PortDir dir;
    PtyPair pty(dir, 3);
    TComm comm(nullptr);
    comm.SetPort(3);
    ASSERT_TRUE(comm.Open());
    // A pty's exclusive flag would outlive a killed process (its master stays open): the
    // advisory lock alone keeps a pty to one user.
    int exclusive = 0;
    ASSERT_EQ(ioctl(pty.SlaveFd(), TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    {
        TComm second(nullptr);  // the advisory lock holds even for root
        second.SetPort(3);
        EXPECT_FALSE(second.Open());
    }
    comm.Close();
    TComm second(nullptr);
    second.SetPort(3);
    EXPECT_TRUE(second.Open());
    second.Close();
    EXPECT_TRUE(comm.Open());
}
