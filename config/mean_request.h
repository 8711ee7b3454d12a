#pragma once
// How the calling program, or an administrator, asks for the mean over the last seconds of
// live data in place of the last value of each channel: the switch --mean=SECONDS in front
// of the positional arguments, or Mittelwert=SECONDS in [Main] of the settings file. The
// switch is the nearer word of whoever started the program, so it wins; --mean=0 switches
// the file's default off for one run.

#include <optional>
#include <string>
#include <string_view>

inline constexpr const char* kMeanSwitch = "--mean";
inline constexpr const char* kMeanSettingsKey = "Mittelwert";
/// 0 is off; otherwise the window lies in these bounds (30 s is the rule's value).
inline constexpr int kMeanShortestSeconds = 5;
inline constexpr int kMeanLongestSeconds = 300;

/// The window's seconds in `text`: decimal digits with blanks around them, 0 or
/// kMeanShortestSeconds..kMeanLongestSeconds; nothing for any other text.
std::optional<int> ParseMeanSeconds(std::string_view text);

/// The box's text (UTF-8) for a value ParseMeanSeconds refused, `text` (UTF-8) as written
/// after `where` (the switch or the settings file's key); the program goes on without it.
std::string MeanRefusalText(std::string_view where, std::string_view text);

enum class MeanSource { None, Switch, SettingsFile };

struct MeanChoice {
    int seconds = 0;  ///< 0: off
    MeanSource source = MeanSource::None;
    /// The settings file's value when it was refused (empty otherwise).
    std::string refusedSetting;
};

/// The window to use: `switchSeconds` when the switch was given (its refusal already
/// counts as 0), else the settings file's `settingText` (empty: the key is missing).
MeanChoice ChooseMean(std::optional<int> switchSeconds, std::string_view settingText);
