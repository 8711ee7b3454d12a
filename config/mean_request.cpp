#include "config/mean_request.h"

std::optional<int> ParseMeanSeconds(std::string_view text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return std::nullopt;
    }
    text = text.substr(first, text.find_last_not_of(' ') + 1 - first);
    if (text.size() > 3) {
        return std::nullopt;  // also keeps the sum below from overflowing
    }
    int seconds = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        seconds = seconds * 10 + (c - '0');
    }
    if (seconds != 0 && (seconds < kMeanShortestSeconds || seconds > kMeanLongestSeconds)) {
        return std::nullopt;
    }
    return seconds;
}

std::string MeanRefusalText(std::string_view where, std::string_view text) {
    return std::string(where) + "=" + std::string(text) +
           " wird nicht verwendet: der Mittelwert braucht eine Dauer von " +
           std::to_string(kMeanShortestSeconds) + " bis " + std::to_string(kMeanLongestSeconds) +
           " Sekunden (0 schaltet ihn aus).\nDie Werte werden ohne Mittelwert übernommen.";
}

MeanChoice ChooseMean(std::optional<int> switchSeconds, std::string_view settingText) {
    MeanChoice choice;
    if (switchSeconds) {
        choice.seconds = *switchSeconds;
        choice.source = MeanSource::Switch;
        return choice;
    }
    if (settingText.find_first_not_of(' ') == std::string_view::npos) {
        return choice;
    }
    if (const std::optional<int> seconds = ParseMeanSeconds(settingText)) {
        choice.seconds = *seconds;
        choice.source = MeanSource::SettingsFile;
    } else {
        choice.refusedSetting = std::string(settingText);
    }
    return choice;
}
