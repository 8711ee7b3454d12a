// Settings files that POSIX systems can hold: devices, named pipes, folders for the owner only.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>

#include "config/settings.h"
#include "tests/config/remembered_settings.h"
#include "tests/support/temp_dir.h"

TEST(LoadSettings, OnlyRegularFilesAreReadAndNothingBlocks) {
    TempDir dir;
    const std::string path = dir.File(kSettingsFileName);
    // A device that never ends, and one that is empty: neither is a settings file.
    for (const char* device : {"/dev/zero", "/dev/null"}) {
        std::filesystem::remove(path);
        std::filesystem::create_symlink(device, path);
        Settings settings = Remembered();
        std::string error;
        EXPECT_FALSE(LoadSettings(path, settings, &error)) << device;
        EXPECT_FALSE(error.empty()) << device;
        EXPECT_FALSE(SaveSettings(path, Remembered(), nullptr)) << device;
        EXPECT_TRUE(std::filesystem::is_symlink(path)) << device;
    }

    // A named pipe without a writer: opening it for reading would wait for ever.
    std::filesystem::remove(path);
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    auto load = std::async(std::launch::async, [&path] {
        Settings settings;
        return LoadSettings(path, settings, nullptr);
    });
    const bool ended = load.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    if (!ended) {
        // Let the blocked reader go, so the test can end and report.
        const int writer = open(path.c_str(), O_WRONLY | O_NONBLOCK);
        load.wait_for(std::chrono::seconds(20));
        close(writer);
    }
    EXPECT_TRUE(ended) << "reading a named pipe blocked";
    EXPECT_FALSE(load.get());
    EXPECT_FALSE(SaveSettings(path, Remembered(), nullptr));
    EXPECT_TRUE(std::filesystem::is_fifo(path));
}

// An installed program keeps its file in ~/.config/fumilink, which a fresh home lacks.
TEST(SaveSettings, CreatesMissingFoldersForTheOwnerOnly) {
    TempDir dir;
    namespace fs = std::filesystem;
    fs::create_directory(dir.File("config"));
    fs::permissions(dir.File("config"), fs::perms::owner_all | fs::perms::group_read |
                                            fs::perms::group_exec | fs::perms::others_read |
                                            fs::perms::others_exec);
    const std::string path = dir.File("config/fumilink/sub/fumilink.ini");
    Settings saved = Remembered();
    std::string error;
    ASSERT_TRUE(SaveSettings(path, saved, &error)) << error;
    Settings loaded;
    ASSERT_TRUE(LoadSettings(path, loaded, nullptr));
    EXPECT_EQ(loaded.portNumber, 3);
    EXPECT_EQ(fs::status(dir.File("config/fumilink")).permissions(), fs::perms::owner_all);
    EXPECT_EQ(fs::status(dir.File("config/fumilink/sub")).permissions(), fs::perms::owner_all);
    EXPECT_EQ(fs::status(dir.File("config")).permissions() & fs::perms::others_read,
              fs::perms::others_read);
}
