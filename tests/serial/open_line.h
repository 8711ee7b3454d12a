#pragma once
// A CommPort opened on a test line with the program's line settings and an empty queue,
// for the tests of the port itself on either back end.

#include <gtest/gtest.h>

#include "serial/comm_port.h"
#include "serial/dcb.h"
#include "serial/default_line_settings.h"
#include "tests/serial/test_line.h"

class OpenLine : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(port_.Open(line_.Port()));
        ASSERT_TRUE(port_.ApplySettings(DefaultLineSettings(), 2048, 2048));
        port_.Purge();
    }
    void TearDown() override { port_.Close(); }

    TestLine line_;
    CommPort port_;
};
