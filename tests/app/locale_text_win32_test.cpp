// The user's locale as the registry holds it. The test changes the value and puts the
// previous one back; the CTest run uses a throw-away Wine prefix anyway.

#include "app/locale_text.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

constexpr const char* kKey = "Control Panel\\International";

class RegistryLocale : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key_, nullptr),
                  ERROR_SUCCESS);
        DWORD type = 0;
        DWORD size = 0;
        if (RegQueryValueExA(key_, "Locale", nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
            std::vector<BYTE> bytes(size);
            RegQueryValueExA(key_, "Locale", nullptr, &type, bytes.data(), &size);
            saved_ = Saved{type, bytes};
        }
    }
    void TearDown() override {
        if (saved_) {
            RegSetValueExA(key_, "Locale", 0, saved_->type, saved_->bytes.data(),
                           static_cast<DWORD>(saved_->bytes.size()));
        } else {
            RegDeleteValueA(key_, "Locale");
        }
        RegCloseKey(key_);
    }
    void Store(DWORD type, const std::string& bytes) {
        ASSERT_EQ(
            RegSetValueExA(key_, "Locale", 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                           static_cast<DWORD>(bytes.size())),
            ERROR_SUCCESS);
    }

    HKEY key_ = nullptr;
    struct Saved {
        DWORD type;
        std::vector<BYTE> bytes;
    };
    std::optional<Saved> saved_;
};

}  // namespace

TEST_F(RegistryLocale, StringValueIsTakenAsItIs) {
    Store(REG_SZ, std::string("00000407", 9));  // with its terminating zero
    EXPECT_EQ(ReadLocaleText(), "00000407");
    Store(REG_SZ, "0000041d");  // stored without one: nothing after it may be read
    EXPECT_EQ(ReadLocaleText(), "0000041d");
}

TEST_F(RegistryLocale, MissingOrNonStringValueGivesEmptyText) {
    RegDeleteValueA(key_, "Locale");
    EXPECT_EQ(ReadLocaleText(), "");
    Store(REG_DWORD, std::string("\x07\x04\x00\x00", 4));
    EXPECT_EQ(ReadLocaleText(), "");
}
