// Following fumilink-sim's log while it grows.

#include "bench/sim_log_reader.h"

#include <gtest/gtest.h>
#include <QTemporaryDir>

#include <fstream>

namespace {

void Append(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::app) << text;
}

TEST(SimLogReader, ReadsOnlyCompleteLinesAndPicksUpWhereItStopped) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = dir.path().toStdString() + "/sim.log";
    SimLogReader log(path);
    log.Poll();  // no file yet: nothing, no failure
    EXPECT_TRUE(log.Events().empty());

    Append(path,
           "0.000100 COM5 OPEN analyser /dev/pts/3\n"
           "1.000000 COM5 RX \"w904\"\n"
           "1.000010 COM5 SENT 13 steady=5000.250000\n"
           "1.000020 COM5 SENT 2");
    log.Poll();
    ASSERT_EQ(log.Sent().size(), 1u);
    EXPECT_EQ(log.Sent()[0].lines, 13u);
    EXPECT_DOUBLE_EQ(log.Sent()[0].steady, 5000.25);
    EXPECT_EQ(log.Events().size(), 2u);

    Append(path,
           "6 steady=5000.500000\n"
           "2.000000 COM5 RX \"w904\"\n"
           "7.000000 COM5 STREAM end\n");
    log.Poll();
    ASSERT_EQ(log.Sent().size(), 2u);
    EXPECT_EQ(log.LastSent(), 26u);
    EXPECT_DOUBLE_EQ(log.Sent()[1].steady, 5000.5);
    EXPECT_EQ(log.Count("COM5 RX \"w904\""), 2);
    EXPECT_EQ(log.Count("STREAM end"), 1);
    EXPECT_EQ(log.Count("SENT"), 0);
}

TEST(SimLogReader, MalformedSentLinesAreNoMarks) {
    std::vector<LineMark> sent;
    std::vector<std::string> events;
    for (const char* line :
         {"1.0 COM5 SENT x steady=1.0", "1.0 COM5 SENT 5 steady=abc",
          "1.0 COM5 SENT 5 steady=1.5junk", "1.0 COM5 SENT 5", "1.0 COM5 SENT -5 steady=1.0",
          // a reply that happens to read like a mark is still a reply
          "1.0 COM5 TX \"a SENT 5 steady=1.0\""}) {
        SimLogReader::ParseLine(line, sent, events);
    }
    SimLogReader::ParseLine("1.0 COM5 SENT 7 steady=2.5", sent, events);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].lines, 7u);
    EXPECT_EQ(events.size(), 6u);
}

}  // namespace
