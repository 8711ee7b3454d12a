// Widget tests need one QApplication for the whole run. It is created when the tests
// start, not at load time, so that listing the tests needs no display.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <memory>

namespace {

class QtApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        app_ = std::make_unique<QApplication>(argc_, argv_);
        // A window that is shown starts searching for the analyser: give it an empty
        // port folder, so no test ever writes to a real serial port of the machine.
        ports_ = std::make_unique<QTemporaryDir>();
        qputenv("FUMILINK_PORT_DIR", ports_->path().toLocal8Bit());
    }
    void TearDown() override {
        app_.reset();
        ports_.reset();
    }

private:
    int argc_ = 1;
    char name_[10] = "ui_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
    std::unique_ptr<QTemporaryDir> ports_;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

}  // namespace
