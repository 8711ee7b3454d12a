#include "data/running_mean.h"

#include <algorithm>

void RunningMean::SetWindow(std::chrono::seconds window) {
    window_ = std::max(window, std::chrono::seconds(0));
    Clear();
}

void RunningMean::Clear() {
    for (auto& channel : samples_) {
        channel.clear();
    }
    stretchStart_.reset();
}

bool RunningMean::Live(std::chrono::milliseconds now) const {
    return stretchStart_.has_value() && now - lastLine_ < kGap;
}

void RunningMean::Feed(std::string_view line, std::chrono::milliseconds now) {
    if (!On()) {
        return;
    }
    const DecodedDataLine decoded = DecodeDataLineFields(line);
    if (!decoded.online) {
        return;
    }
    if (!Live(now)) {
        Clear();
        stretchStart_ = now;
    }
    lastLine_ = now;
    if (decoded.channel != 0 && decoded.valid) {
        samples_[static_cast<std::size_t>(decoded.channel - 1)].push_back({now, decoded.value});
    }
    DropBefore(now);
}

void RunningMean::DropBefore(std::chrono::milliseconds now) {
    for (auto& channel : samples_) {
        while (!channel.empty() && channel.front().at <= now - window_) {
            channel.pop_front();
        }
    }
}

std::chrono::seconds RunningMean::Filled(std::chrono::milliseconds now) const {
    if (!Live(now)) {
        return std::chrono::seconds(0);
    }
    return std::min(window_,
                    std::chrono::duration_cast<std::chrono::seconds>(now - *stretchStart_));
}

bool RunningMean::Full(std::chrono::milliseconds now) const {
    return On() && Live(now) && now - *stretchStart_ >= window_;
}

RunningMean::ChannelMean RunningMean::Mean(int channel, std::chrono::milliseconds now) const {
    ChannelMean mean;
    if (!Live(now)) {
        return mean;
    }
    double sum = 0.0;
    for (const Sample& sample : samples_[static_cast<std::size_t>(channel - 1)]) {
        if (sample.at > now - window_ && sample.at <= now) {
            sum += sample.value;
            ++mean.count;
        }
    }
    if (mean.count > 0) {
        mean.value = sum / mean.count;
    }
    return mean;
}

MeasurementRecord RunningMean::Means(std::chrono::milliseconds now) const {
    MeasurementRecord record;
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        const ChannelMean mean = Mean(channel, now);
        const auto index = static_cast<std::size_t>(channel - 1);
        record.valid[index] = mean.count > 0;
        record.values[index] = mean.value;
    }
    return record;
}
