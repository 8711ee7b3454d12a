// The component posts its notifications to the creating thread's Qt event queue; the
// tests are that thread and pump the queue themselves.

#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
