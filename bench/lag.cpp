#include "bench/lag.h"

#include <algorithm>

LagResult LargestLag(const std::vector<LineMark>& sent, const std::vector<LineMark>& shown) {
    LagResult result;
    bool any = false;
    double lagSum = 0;
    uint64_t previous = 0;
    size_t j = 0;
    for (const LineMark& write : sent) {
        if (write.lines <= previous) {
            continue;  // nothing new in this mark
        }
        while (j < shown.size() && shown[j].lines < write.lines) {
            ++j;
        }
        if (j == shown.size()) {
            // The window never counted the last line of this write; everything from the
            // first line it did not count on is unshown.
            const uint64_t shownLines = shown.empty() ? 0 : shown.back().lines;
            result.linesShown = std::max(result.linesShown, std::min(shownLines, write.lines));
            result.linesNotShown = sent.back().lines - result.linesShown;
            return result;
        }
        const double lag = shown[j].steady - write.steady;
        if (!any || lag > result.maxLag) {
            result.maxLag = lag;
            result.worstLine = write.lines;
        }
        if (!any || lag < result.minLag) {
            result.minLag = lag;
        }
        any = true;
        lagSum += lag * static_cast<double>(write.lines - previous);
        result.linesShown = write.lines;
        result.meanLag = lagSum / static_cast<double>(result.linesShown);
        previous = write.lines;
    }
    return result;
}
