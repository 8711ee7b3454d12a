#include "app/locale_text.h"

#include <array>

namespace {

struct LocaleMapping {
    std::string_view posixName;
    std::string_view localeText;
};

constexpr std::array<LocaleMapping, 4> kLocaleMappings{{
    {"de_DE", "00000407"},
    {"en_US", "00000409"},
    {"it_IT", "00000410"},
    {"sv_SE", "0000041D"},
}};

struct LocaleMessage {
    std::string_view localeText;
    std::string_view message;
};

// Windows-1252 bytes: 0xE4 = a umlaut, 0xE0 = a grave.
constexpr std::array<LocaleMessage, 4> kMessages{{
    {"00000407", "Programm l\xE4uft schon auf diesem Arbeitsplatz!"},
    {"00000409", "Program is already running!"},
    {"00000410", "Programma gi\xE0 che funziona!"},
    {"0000041D", "Program is already running!"},
}};
constexpr std::string_view kGenericMessage = "Program already running!";

// Lower case as the Windows ANSI functions do for Windows-1252.
char LowerCp1252(char c) {
    auto byte = static_cast<unsigned char>(c);
    if ((byte >= 'A' && byte <= 'Z') || (byte >= 0xC0 && byte <= 0xDE && byte != 0xD7)) {
        return static_cast<char>(byte + 0x20);
    }
    switch (byte) {
        case 0x8A:  // S caron
        case 0x8C:  // OE
        case 0x8E:  // Z caron
            return static_cast<char>(byte + 0x10);
        case 0x9F:  // Y diaeresis
            return static_cast<char>(0xFF);
        default:
            return c;
    }
}

}  // namespace

std::string LocaleTextFromPosixLocale(std::string_view localeName) {
    std::string_view languageTerritory = localeName.substr(0, localeName.find_first_of(".@"));
    for (const LocaleMapping& mapping : kLocaleMappings) {
        if (languageTerritory == mapping.posixName) {
            return std::string(mapping.localeText);
        }
    }
    return {};
}

std::string LocaleTextFromEnvironment(const char* lcAll, const char* lcMessages, const char* lang) {
    for (const char* value : {lcAll, lcMessages, lang}) {
        if (value != nullptr && value[0] != '\0') {
            return LocaleTextFromPosixLocale(value);
        }
    }
    return {};
}

std::string AlreadyRunningMessage(std::string_view localeText) {
    for (const LocaleMessage& entry : kMessages) {
        if (localeText == entry.localeText) {
            return std::string(entry.message);
        }
    }
    return std::string(kGenericMessage);
}

std::string ApplicationTitle(std::string_view executableFileName) {
    std::string title(executableFileName.substr(0, executableFileName.find('.')));
    for (size_t i = 1; i < title.size(); ++i) {
        title[i] = LowerCp1252(title[i]);
    }
    return title;
}
