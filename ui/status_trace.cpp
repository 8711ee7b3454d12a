#include "ui/status_trace.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

void TraceStatusText(const QString& text) {
    static const bool wanted = [] {
        const char* mode = std::getenv("FUMILINK_TEST_STATUS");
        return mode != nullptr && std::string_view(mode) == "stderr";
    }();
    if (wanted) {
        std::fprintf(stderr, "Status: %s\n", text.toUtf8().constData());
        std::fflush(stderr);
    }
}
