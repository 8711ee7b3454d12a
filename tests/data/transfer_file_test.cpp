#include "data/transfer_file.h"

#include <gtest/gtest.h>

#include "tests/support/transfer_file_content.h"

namespace {

void SetChannel(MeasurementRecord& record, int channel, double value) {
    record.values[channel - 1] = value;
    record.valid[channel - 1] = true;
}

/// The measurement of the example file: NO2, NOx and SO2 not measured.
TransferFileContent ExampleContent() {
    TransferFileContent content;
    content.headerLine = "AB12";
    SetChannel(content.record, 9, 182.4);   // TG
    SetChannel(content.record, 8, 19.8);    // T-VL
    SetChannel(content.record, 1, 4.1);     // O2
    SetChannel(content.record, 3, 12.0);    // CO
    SetChannel(content.record, 2, 12.6);    // CO2
    SetChannel(content.record, 4, 45.0);    // NO
    SetChannel(content.record, 12, -0.12);  // draft
    SetChannel(content.record, 10, 1.24);   // lambda
    SetChannel(content.record, 11, 91.3);   // eta
    SetChannel(content.record, 13, 8.7);    // qA
    SetChannel(content.record, 14, 3.0);    // channel 14 is never written
    content.record.values[4] = 77.0;        // NO2 value without valid flag: not written
    content.entries.boilerTemperature = 60.0;
    content.entries.smokeNumber1 = 0.5;
    content.entries.smokeNumber2 = 1.0;
    content.entries.smokeNumber3 = 0.5;
    content.entries.smokeInputsOn = true;
    content.entries.oilDerivativeIndex = 0;
    content.firingTypeParameter = "14";
    content.identificationReplies = {"ZOR GX40", "V1.07", "SN42"};
    return content;
}

const char* const kExampleFile =
    "AB12\r\n"
    "1101=182,4\r\n"
    "1001=19,8\r\n"
    "1401=60,0\r\n"
    "2003=4,1\r\n"
    "2304=12\r\n"
    "2603=12,6\r\n"
    "2104=45\r\n"
    "4010=-0,12\r\n"
    "5121=1,24\r\n"
    "5221=91,3\r\n"
    "5321=8,7\r\n"
    "6020=0,5\r\n"
    "6120=1,0\r\n"
    "6220=0,5\r\n"
    "6320=1\r\n"
    "6420=14\r\n"
    "9000=ZOR GX40\r\n"
    "9100=V1.07\r\n"
    "9200=SN42\r\n";

}  // namespace

TEST(TransferFile, ExampleMeasurementByteForByte) {
    EXPECT_EQ(ComposeTransferFile(ExampleContent()), kExampleFile);
}

TEST(TransferFile, NoValidChannelKeepsManualAndIdentificationLines) {
    TransferFileContent content = ExampleContent();
    content.record = MeasurementRecord{};
    content.record.values.fill(5.0);  // values without valid flags count for nothing
    EXPECT_EQ(ComposeTransferFile(content),
              "AB12\r\n"
              "1401=60,0\r\n"
              "6020=0,5\r\n"
              "6120=1,0\r\n"
              "6220=0,5\r\n"
              "6320=1\r\n"
              "6420=14\r\n"
              "9000=ZOR GX40\r\n"
              "9100=V1.07\r\n"
              "9200=SN42\r\n");

    content.entries.smokeInputsOn = false;
    content.firingTypeParameter = "";
    content.headerLine = "";
    content.identificationReplies = {"", "", ""};
    EXPECT_EQ(ComposeTransferFile(content), "\r\n1401=60,0\r\n9000=\r\n9100=\r\n9200=\r\n");
}

TEST(TransferFile, UncheckedSmokeBoxDropsSmokeAndDerivativeLines) {
    TransferFileContent content = ExampleContent();
    content.entries.smokeInputsOn = false;
    content.entries.smokeNumber1 = 3.5;
    content.entries.oilDerivativeIndex = 1;
    std::string file = ComposeTransferFile(content);
    for (const char* key : {"6020=", "6120=", "6220=", "6320="}) {
        EXPECT_EQ(file.find(key), std::string::npos) << key;
    }
    EXPECT_NE(file.find("\r\n5321=8,7\r\n6420=14\r\n9000="), std::string::npos) << file;
}

TEST(TransferFile, OilDerivativeIsTheSelectedIndexPlusOne) {
    TransferFileContent content = ExampleContent();
    const std::pair<int, const char*> cases[] = {{0, "6320=1"}, {1, "6320=2"}, {-1, "6320=0"}};
    for (const auto& [index, line] : cases) {
        content.entries.oilDerivativeIndex = index;
        EXPECT_NE(ComposeTransferFile(content).find(std::string("\r\n") + line + "\r\n"),
                  std::string::npos)
            << index;
    }
}

TEST(TransferFile, ValuesUseFixedDecimalsAndADecimalComma) {
    TransferFileContent content = ExampleContent();
    content.record = MeasurementRecord{};
    SetChannel(content.record, 3, 12.0);      // CO, no decimals
    SetChannel(content.record, 12, -0.12);    // draft, two decimals, sign kept
    SetChannel(content.record, 1, 4.25);      // O2, one decimal, half away from zero
    SetChannel(content.record, 5, 2.5);       // NO2, halves away from zero
    SetChannel(content.record, 10, 1.0);      // lambda, two decimals
    SetChannel(content.record, 9, 1234.56);   // no thousands separator
    content.entries.boilerTemperature = 120;  // always written, one decimal
    content.entries.smokeInputsOn = false;
    content.firingTypeParameter = "";
    EXPECT_EQ(ComposeTransferFile(content),
              "AB12\r\n"
              "1101=1234,6\r\n"
              "1401=120,0\r\n"
              "2003=4,3\r\n"
              "2304=12\r\n"
              "2404=3\r\n"
              "4010=-0,12\r\n"
              "5121=1,00\r\n"
              "9000=ZOR GX40\r\n"
              "9100=V1.07\r\n"
              "9200=SN42\r\n");
}

TEST(TransferFile, HeaderAndRepliesKeepWindows1252Bytes) {
    TransferFileContent content = ExampleContent();
    content.headerLine =
        "M\xFCLLER STRA\xDF"
        "E \xC4\xD6\xDC";
    content.identificationReplies[2] = "SN\xE9";
    std::string file = ComposeTransferFile(content);
    EXPECT_EQ(file.substr(0, 19),
              "M\xFCLLER STRA\xDF"
              "E \xC4\xD6\xDC\r\n");
    EXPECT_NE(file.find("\r\n9200=SN\xE9\r\n"), std::string::npos);

    // A reply holding a line break stays one line.
    content.identificationReplies[0] = "ZOR\nGX40\r";
    EXPECT_NE(ComposeTransferFile(content).find("\r\n9000=ZOR GX40 \r\n9100="), std::string::npos);
}

TEST(TransferFile, So2IsLeftOutUnlessAKeyIsConfigured) {
    TransferFileContent content = ExampleContent();
    SetChannel(content.record, 7, 123.6);
    std::string without = ComposeTransferFile(content);
    EXPECT_EQ(without, kExampleFile);  // never a second 1101 line

    content.so2Key = "2204";
    std::string with = ComposeTransferFile(content);
    EXPECT_NE(with.find("\r\n2603=12,6\r\n2204=124\r\n2104=45\r\n"), std::string::npos) << with;
    EXPECT_EQ(with.size(), without.size() + std::string("2204=124\r\n").size());

    content.record.valid[6] = false;  // configured key, SO2 not measured: no line
    EXPECT_EQ(ComposeTransferFile(content), kExampleFile);
}

TEST(TransferFileBuilder, IdentificationRepliesKeepOnlyPrintableBytes) {
    // Noise on the line in front of the reply, and line breaks inside it: every control
    // byte becomes a blank, Windows-1252 letters stay.
    TransferFileBuilder builder;
    builder.AddHeaderLine("AB12");
    builder.AddIdentificationLine(9000,
                                  std::string("\x00\x01\x1B[0m\x7F\x80\xFE\xFF ZOR GX40", 19));
    builder.AddIdentificationLine(9100, "V2\r\n31\t\x1F");
    EXPECT_EQ(builder.Bytes(), "AB12\r\n9000=   [0m \x80\xFE\xFF ZOR GX40\r\n9100=V2  31  \r\n");
}

TEST(TransferFileBuilder, CollectsGroupsInOrderAndStartsOverWithTheHeader) {
    TransferFileBuilder builder;
    builder.AddHeaderLine("progress line of the search");
    builder.AddHeaderLine("AB12");  // a new file: earlier lines are gone
    ManualEntries entries;
    builder.AddValueLines(MeasurementRecord{}, entries, "", "");
    for (const IdentificationRequest& request : kIdentificationRequests) {
        builder.AddIdentificationLine(request.key, std::string("reply ") + request.command);
    }
    EXPECT_EQ(builder.Lines(), (std::vector<std::string>{"AB12", "1401=60,0", "9000=reply R001",
                                                         "9100=reply R002", "9200=reply R004"}));
    EXPECT_EQ(builder.Bytes(),
              "AB12\r\n1401=60,0\r\n9000=reply R001\r\n9100=reply R002\r\n9200=reply R004\r\n");
}
