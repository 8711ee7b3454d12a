#include <sys/stat.h>

#include <deque>
#include <map>

#include "link/status_texts.h"
#include "link_fixture.h"

namespace {

void SetChannel(MeasurementRecord& record, int channel, double value) {
    record.values[channel - 1] = value;
    record.valid[channel - 1] = true;
}

class TakeOver : public LinkFixture {
protected:
    void SetUp() override {
        LinkFixture::SetUp();
        peer = &AddPeer(5);
        OpenPort(5);
        link->state.headerLine = "AB12";
        link->state.firingTypeParameter = "14";
        link->state.transferFilePath = portDir + "/m.txt";
        view.smokeChecked = true;
        view.smoke[0] = 0.5;
        view.smoke[1] = 1.0;
        view.smoke[2] = 0.5;
        SetChannel(record, 9, 182.4);
        SetChannel(record, 8, 19.8);
        SetChannel(record, 1, 4.1);
        SetChannel(record, 3, 12.0);
        SetChannel(record, 2, 12.6);
        SetChannel(record, 4, 45.0);
        SetChannel(record, 12, -0.12);
        SetChannel(record, 10, 1.24);
        SetChannel(record, 11, 91.3);
        SetChannel(record, 13, 8.7);
    }
    bool FileExists(const std::string& path) {
        struct stat info {};
        return stat(path.c_str(), &info) == 0;
    }
    ScriptedPeer* peer = nullptr;
};

}  // namespace

TEST_F(TakeOver, WritesTheTransferFileAndRenewsTheStream) {
    EXPECT_TRUE(link->schreibeCSV_Datei());
    EXPECT_EQ(ReadFile("m.txt"),
              "AB12\r\n1101=182,4\r\n1001=19,8\r\n1401=60,0\r\n2003=4,1\r\n2304=12\r\n"
              "2603=12,6\r\n2104=45\r\n4010=-0,12\r\n5121=1,24\r\n5221=91,3\r\n5321=8,7\r\n"
              "6020=0,5\r\n6120=1,0\r\n6220=0,5\r\n6320=1\r\n6420=14\r\n9000=ZOR GX40\r\n"
              "9100=GX40 V2.31\r\n9200=SN42\r\n");
    const std::vector<std::string> expected{"SERVICE002", "SERVICE001", "SERVICE002", "SERVICE001",
                                            "SERVICE002", "SERVICE001", "",           "R001",
                                            "",           "R002",       "",           "R004",
                                            "w904",       "w904",       "w904"};
    EXPECT_EQ(peer->Commands(), expected);
    EXPECT_TRUE(timer1.isActive());
    EXPECT_TRUE(view.infoBoxes.isEmpty());
}

TEST_F(TakeOver, NoReplyToTheServiceSequenceWritesNoFileAndSaysSo) {
    peer->SetResponder([](const std::string&) { return std::string(); });
    EXPECT_FALSE(link->schreibeCSV_Datei());
    EXPECT_FALSE(FileExists(link->state.transferFilePath));
    ASSERT_EQ(view.infoBoxes.size(), 1);
    EXPECT_TRUE(view.infoBoxes[0].contains(QStringLiteral("Keine Antwort")));
    EXPECT_TRUE(timer1.isActive()) << "the window stays and keeps polling";
}

TEST_F(TakeOver, StickyErrorWithoutACodeShowsTheNoReplyState) {
    // A scan whose stream request went unanswered on the analyser's port leaves the error
    // flag set and the code cleared: the take-over fails at once and must still say why.
    link->state.errorFlag = true;
    link->state.errorCode = kErrNone;
    EXPECT_FALSE(link->schreibeCSV_Datei());
    EXPECT_EQ(view.infoBoxes.size(), 1);
    EXPECT_EQ(view.status.toStdString(), ErrorStatusText(kErrNoReply).toStdString());
    EXPECT_EQ(view.picture, 1);
}

TEST_F(TakeOver, AnalyserGoneBeforeTheTakeOverKeepsTheValues) {
    peer->HangUp();
    EXPECT_FALSE(link->schreibeCSV_Datei());
    EXPECT_FALSE(FileExists(link->state.transferFilePath));
    EXPECT_EQ(view.infoBoxes.size(), 1);
    EXPECT_TRUE(record.Valid(9));
}

TEST_F(TakeOver, MissingFolderNamesThePathAndWritesNothing) {
    link->state.transferFilePath = portDir + "/missing/m.txt";
    view.SetStatusMessage(kStatusOnline);
    EXPECT_FALSE(link->schreibeCSV_Datei());
    EXPECT_EQ(view.status.toStdString(), kStatusOnline.toStdString())
        << "the link is fine, only the file failed";
    ASSERT_EQ(view.infoBoxes.size(), 1);
    EXPECT_EQ(view.infoBoxes[0], QString::fromStdString("Fehler beim Speichern der Datei " +
                                                        link->state.transferFilePath));
    EXPECT_EQ(peer->CountOf("w904"), 3) << "the stream is renewed whatever happened to the file";
}

TEST_F(TakeOver, EndlessEmptyIdentificationRepliesEndAsNoReply) {
    peer->SetResponder([](const std::string& c) {
        return c.rfind("SERVICE", 0) == 0 ? std::string("OK\r") : std::string("\r");
    });
    EXPECT_FALSE(link->schreibeCSV_Datei());
    EXPECT_EQ(peer->CountOf("R001"), DeviceLink::kMaxEmptyReplies);
    EXPECT_EQ(link->state.errorCode, kErrNoReply);
    EXPECT_FALSE(FileExists(link->state.transferFilePath));
}

TEST_F(TakeOver, AbortDuringTheTakeOverEndsQuietly) {
    peer->SetResponder([this](const std::string&) {
        link->state.abortFlag = true;
        return std::string();
    });
    EXPECT_FALSE(link->schreibeCSV_Datei());
    EXPECT_TRUE(view.infoBoxes.isEmpty());
    EXPECT_EQ(link->state.errorCode, kErrUserAbort);
}

constexpr const char* kIdentificationLines =
    "\r\n9000=ZOR GX40\r\n9100=GX40 V2.31\r\n9200=SN42\r\n";

TEST_F(TakeOver, DataLinesStillComingAfterTheServiceSequenceRunOutBeforeTheRequests) {
    // An analyser that ends its cycle before it answers: thirty data lines, one every
    // 10 ms, after the last service command, and replies only behind them. One drain tick
    // would leave the requests to meet the data lines.
    std::deque<std::string> queued;
    QTimer line;
    QObject::connect(&line, &QTimer::timeout, [&] {
        if (!queued.empty()) {
            peer->Send(queued.front());
            queued.pop_front();
        }
    });
    line.start(10);
    int serviceReplies = 0;
    peer->SetResponder([&](const std::string& command) {
        std::string now = AnalyserReply(command);
        if (!queued.empty()) {
            queued.push_back(now);
            now.clear();
        }
        if (command == "SERVICE001" && ++serviceReplies == 3) {
            queued.insert(queued.end(), 30, "051G 20.9;\r");
        }
        return now;
    });
    EXPECT_TRUE(link->schreibeCSV_Datei());
    EXPECT_NE(ReadFile("m.txt").find(kIdentificationLines), std::string::npos) << ReadFile("m.txt");
}

TEST_F(TakeOver, RepliesThatAreNoAnswerAreAskedAgain) {
    // Each request first meets a line that is not its answer: a data line, or for R001 a
    // line without "ZOR".
    std::map<std::string, std::string> firstReply = {
        {"R001", "MODEM OK\r"}, {"R002", "053G 12,0;\r"}, {"R004", "051G 20.9;\r"}};
    peer->SetResponder([&](const std::string& command) {
        const auto first = firstReply.find(command);
        if (first == firstReply.end()) {
            return AnalyserReply(command);
        }
        const std::string reply = first->second;
        firstReply.erase(first);
        return reply;
    });
    EXPECT_TRUE(link->schreibeCSV_Datei());
    EXPECT_NE(ReadFile("m.txt").find(kIdentificationLines), std::string::npos) << ReadFile("m.txt");
    for (const char* request : {"R001", "R002", "R004"}) {
        EXPECT_EQ(peer->CountOf(request), 2) << request;
    }
}

TEST_F(TakeOver, So2IsWrittenOnlyUnderItsConfiguredKey) {
    SetChannel(record, 7, 17.0);
    EXPECT_TRUE(link->schreibeCSV_Datei());
    EXPECT_EQ(ReadFile("m.txt").find("=17\r\n"), std::string::npos);

    link->state.so2Key = "2804";
    EXPECT_TRUE(link->schreibeCSV_Datei());
    EXPECT_NE(ReadFile("m.txt").find("2603=12,6\r\n2804=17\r\n2104=45\r\n"), std::string::npos);
}
