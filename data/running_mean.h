#pragma once
// The mean of the analyser's own values over the last seconds of live data: statutory
// checks of oil and gas heating systems take O2 and the flue-gas temperature as a 30-second
// mean, and the calling program may ask for it. It keeps the valid values of every channel
// with the time they arrived, and forgets them when the stream breaks off, so that a mean
// never spans a gap.

#include <array>
#include <chrono>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

#include "data/channel_table.h"
#include "data/measurement.h"

class RunningMean {
public:
    /// No data line for this long is a gap: the window starts anew with the next line.
    static constexpr std::chrono::milliseconds kGap{5000};

    /// The mean of one channel and how many values went into it (0: none, no mean).
    struct ChannelMean {
        double value = 0.0;
        int count = 0;
    };

    /// Off until SetWindow gives it a length.
    RunningMean() = default;

    /// The window's length, 0 for off. Empties it.
    void SetWindow(std::chrono::seconds window);
    std::chrono::seconds Window() const { return window_; }
    bool On() const { return window_.count() > 0; }

    /// One data line (without its CR) that arrived at `now` on the link's clock. A line
    /// with a positive parameter number keeps the stretch of live data going; its value
    /// counts where the line is valid and names a channel.
    void Feed(std::string_view line, std::chrono::milliseconds now);
    /// The stream broke off (a hang-up, an error state): the window starts anew.
    void Clear();

    /// True while a stretch of live data goes on at `now`: a line came less than kGap ago.
    bool Live(std::chrono::milliseconds now) const;
    /// When the stretch that runs now began (none: no live data). A new value after a wait
    /// means that the stretch broke off meanwhile.
    std::optional<std::chrono::milliseconds> StretchStart() const { return stretchStart_; }
    /// Whole seconds of the window that live data fills at `now`, at most Window().
    std::chrono::seconds Filled(std::chrono::milliseconds now) const;
    /// The stretch has lasted the whole window at `now`.
    bool Full(std::chrono::milliseconds now) const;

    /// The arithmetic mean of `channel`'s (1..14) valid values that arrived in the window
    /// ending at `now`, that is later than `now` - Window().
    ChannelMean Mean(int channel, std::chrono::milliseconds now) const;
    /// Every channel's mean at `now` as a record: valid where at least one value counts.
    MeasurementRecord Means(std::chrono::milliseconds now) const;

private:
    struct Sample {
        std::chrono::milliseconds at;
        double value;
    };
    /// Drops the values that have left the window ending at `now`.
    void DropBefore(std::chrono::milliseconds now);

    std::chrono::seconds window_{0};
    std::array<std::deque<Sample>, kChannelCount> samples_;  ///< index 0 = channel 1
    std::optional<std::chrono::milliseconds> stretchStart_;
    std::chrono::milliseconds lastLine_{0};
};
