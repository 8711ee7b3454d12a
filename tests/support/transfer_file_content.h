#pragma once
// A whole transfer file described as one value, and the bytes the program writes for it:
// what the tests compare the program's files with.

#include <array>
#include <string>

#include "data/transfer_file.h"

/// Everything one transfer file is made of.
struct TransferFileContent {
    std::string headerLine;  ///< Windows-1252
    MeasurementRecord record;
    ManualEntries entries;
    std::string firingTypeParameter;                   ///< empty = no 6420 line
    std::array<std::string, 3> identificationReplies;  ///< replies to R001, R002, R004
    std::string so2Key;                                ///< empty = no SO2 line
};

/// The complete file bytes for `content`, built as the take-over builds them.
inline std::string ComposeTransferFile(const TransferFileContent& content) {
    TransferFileBuilder builder;
    builder.AddHeaderLine(content.headerLine);
    builder.AddValueLines(content.record, content.entries, content.firingTypeParameter,
                          content.so2Key);
    for (size_t i = 0; i < kIdentificationRequests.size(); ++i) {
        builder.AddIdentificationLine(kIdentificationRequests[i].key,
                                      content.identificationReplies[i]);
    }
    return builder.Bytes();
}
