#include <sys/stat.h>

#include <deque>
#include <functional>
#include <map>

#include "link/status_texts.h"
#include "link_fixture.h"

namespace {

using namespace std::chrono_literals;

class TakeOverTest : public LinkFixture {
protected:
    void SetUp() override {
        LinkFixture::SetUp();
        StartWithTransferFile("m.txt");
    }
    /// A link started with 'ab12' '/ART=14' and the transfer file `name` in its folder,
    /// streaming on COM5 with the values of a measurement.
    void StartWithTransferFile(const std::string& name) {
        transferFile = portDir + "/" + name;
        Relink(ReadCommandLine({"ab12", "/ART=14", transferFile}));
        if (peer == nullptr) {
            peer = &AddPeer(5);
        }
        OpenPort(5);
        SetChannel(9, 182.4);
        SetChannel(8, 19.8);
        SetChannel(1, 4.1);
        SetChannel(3, 12.0);
        SetChannel(2, 12.6);
        SetChannel(4, 45.0);
        SetChannel(12, -0.12);
        SetChannel(10, 1.24);
        SetChannel(11, 91.3);
        SetChannel(13, 8.7);
        entries.smokeInputsOn = true;
        entries.smokeNumber1 = 0.5;
        entries.smokeNumber2 = 1.0;
        entries.smokeNumber3 = 0.5;
    }
    bool FileExists(const std::string& path) {
        struct stat info {};
        return stat(path.c_str(), &info) == 0;
    }
    bool TakeOver() { return LinkFixture::TakeOver(entries); }

    ScriptedPeer* peer = nullptr;
    ManualEntries entries;
    std::string transferFile;
};

}  // namespace

TEST_F(TakeOverTest, WritesTheTransferFileAndRenewsTheStream) {
    EXPECT_TRUE(TakeOver());
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
    EXPECT_TRUE(link->PollTimer().IsActive());
    EXPECT_TRUE(view.infoBoxes.isEmpty());
}

TEST_F(TakeOverTest, NoReplyToTheServiceSequenceWritesNoFileAndSaysSo) {
    peer->SetResponder([](const std::string&) { return std::string(); });
    EXPECT_FALSE(TakeOver());
    EXPECT_FALSE(FileExists(transferFile));
    ASSERT_EQ(view.infoBoxes.size(), 1);
    EXPECT_TRUE(view.infoBoxes[0].contains(QStringLiteral("Keine Antwort")));
    EXPECT_TRUE(link->PollTimer().IsActive()) << "the window stays and keeps polling";
}

TEST_F(TakeOverTest, StickyErrorWithoutACodeShowsTheNoReplyState) {
    // A scan whose stream request went unanswered on the analyser's port leaves the error
    // flag set and the code cleared: the take-over fails at once and must still say why.
    link->ClosePort();
    peer->SetResponder([](const std::string& c) { return c == "w904" ? "" : AnalyserReply(c); });
    ASSERT_EQ(link->SearchDevice(), 1);
    ASSERT_TRUE(exchange().ErrorFlag());
    ASSERT_EQ(exchange().ErrorCode(), kErrNone);
    EXPECT_FALSE(TakeOver());
    EXPECT_EQ(view.infoBoxes.size(), 1);
    EXPECT_EQ(view.status.toStdString(), ErrorStatusText(kErrNoReply).toStdString());
    EXPECT_EQ(view.picture, 1);
}

TEST_F(TakeOverTest, AnalyserGoneBeforeTheTakeOverKeepsTheValues) {
    peer->HangUp();
    EXPECT_FALSE(TakeOver());
    EXPECT_FALSE(FileExists(transferFile));
    EXPECT_EQ(view.infoBoxes.size(), 1);
    EXPECT_TRUE(record().Valid(9));
}

TEST_F(TakeOverTest, MissingFolderNamesThePathAndWritesNothing) {
    StartWithTransferFile("missing/m.txt");
    view.SetStatusMessage(kStatusOnline);
    EXPECT_FALSE(TakeOver());
    EXPECT_EQ(view.status.toStdString(), kStatusOnline.toStdString())
        << "the link is fine, only the file failed";
    ASSERT_EQ(view.infoBoxes.size(), 1);
    // One reason, in German, and no temporary file's name.
    EXPECT_EQ(view.infoBoxes[0].toStdString(),
              "Fehler beim Speichern der Datei " + transferFile + "\nDen Ordner " +
                  transferFile.substr(0, transferFile.rfind('/') + 1) + " gibt es nicht.");
    EXPECT_EQ(peer->CountOf("w904"), 3) << "the stream is renewed whatever happened to the file";
}

TEST_F(TakeOverTest, EndlessEmptyIdentificationRepliesEndAsNoReply) {
    peer->SetResponder([](const std::string& c) {
        return c.rfind("SERVICE", 0) == 0 ? std::string("OK\r") : std::string("\r");
    });
    EXPECT_FALSE(TakeOver());
    EXPECT_EQ(peer->CountOf("R001"), CommandExchange::kMaxEmptyReplies);
    EXPECT_EQ(exchange().ErrorCode(), kErrNoReply);
    EXPECT_FALSE(FileExists(transferFile));
}

TEST_F(TakeOverTest, AbortDuringTheTakeOverEndsQuietly) {
    peer->SetResponder([this](const std::string&) {
        link->Abort();
        return std::string();
    });
    EXPECT_FALSE(TakeOver());
    EXPECT_TRUE(view.infoBoxes.isEmpty());
    EXPECT_EQ(exchange().ErrorCode(), kErrUserAbort);
}

constexpr const char* kIdentificationLines =
    "\r\n9000=ZOR GX40\r\n9100=GX40 V2.31\r\n9200=SN42\r\n";

TEST_F(TakeOverTest, DataLinesStillComingAfterTheServiceSequenceRunOutBeforeTheRequests) {
    // An analyser that ends its cycle before it answers: thirty data lines, one every
    // 10 ms, after the last service command, and replies only behind them. One drain tick
    // would leave the requests to meet the data lines.
    std::deque<std::string> queued;
    std::function<void()> line = [&] {
        if (!queued.empty()) {
            peer->Send(queued.front());
            queued.pop_front();
        }
        clock.After(10ms, line);
    };
    clock.After(10ms, line);
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
    EXPECT_TRUE(TakeOver());
    EXPECT_NE(ReadFile("m.txt").find(kIdentificationLines), std::string::npos) << ReadFile("m.txt");
}

TEST_F(TakeOverTest, RepliesThatAreNoAnswerAreAskedAgain) {
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
    EXPECT_TRUE(TakeOver());
    EXPECT_NE(ReadFile("m.txt").find(kIdentificationLines), std::string::npos) << ReadFile("m.txt");
    for (const char* request : {"R001", "R002", "R004"}) {
        EXPECT_EQ(peer->CountOf(request), 2) << request;
    }
}

TEST_F(TakeOverTest, So2IsWrittenOnlyUnderItsConfiguredKey) {
    SetChannel(7, 17.0);
    EXPECT_TRUE(TakeOver());
    EXPECT_EQ(ReadFile("m.txt").find("=17\r\n"), std::string::npos);

    // The key comes from the settings file, which the search reads.
    WriteFile("fumilink.ini", "[Main]\r\ncomport=5\r\nSO2Key=2804\r\n");
    link->LoadSettings();
    EXPECT_TRUE(TakeOver());
    EXPECT_NE(ReadFile("m.txt").find("2603=12,6\r\n2804=17\r\n2104=45\r\n"), std::string::npos);
}

class MeanTakeOverTest : public TakeOverTest {
protected:
    void SetUp() override {
        TakeOverTest::SetUp();
        link->SetMeanSwitch(10);
        // O2 once a second, 4 and 5 by turns, until the service sequence stops the stream.
        sender = [this] {
            if (streaming && peer->CountOf("SERVICE002") == 0) {
                peer->Send(sent++ % 2 == 0 ? "051G 4.0;\r" : "051G 5.0;\r");
            }
            clock.After(1000ms, sender);
        };
        clock.After(1000ms, sender);
        link->PollTimer().Start();
    }
    /// `event` 4 s into an early press's wait ends the take-over without a file and with
    /// `boxes` information boxes; the analyser is never asked for its service sequence.
    void ExpectNoFileWhenAfter4s(const std::function<void()>& event, int boxes) {
        clock.After(4000ms, event);
        EXPECT_FALSE(TakeOver());
        EXPECT_LT(clock.Now(), 11000ms);
        EXPECT_FALSE(FileExists(transferFile));
        EXPECT_EQ(view.infoBoxes.size(), boxes);
        EXPECT_EQ(peer->CountOf("SERVICE002"), 0);
    }
    std::function<void()> sender;
    bool streaming = true;
    int sent = 0;
};

TEST_F(MeanTakeOverTest, AnEarlyPressWaitsForAFullWindowThenWritesTheMeans) {
    QString statusWhileWaiting;
    clock.After(3500ms, [&] { statusWhileWaiting = view.status; });
    EXPECT_TRUE(TakeOver());
    EXPECT_GE(clock.Now(), 11000ms) << "the first line came after 1 s, the window is 10 s";
    EXPECT_TRUE(statusWhileWaiting.startsWith(QStringLiteral("Mittelwert: noch 8 s")))
        << statusWhileWaiting.toStdString();
    const std::string file = ReadFile("m.txt");
    EXPECT_NE(file.find("\r\n2003=4,5\r\n"), std::string::npos) << file;
    // Channels without a value in the window are left out as invalid ones are today.
    EXPECT_EQ(file.find("1101="), std::string::npos) << file;
    EXPECT_NE(file.find("1401=60,0\r\n2003=4,5\r\n6020=0,5"), std::string::npos) << file;
}

// "Abbrechen" and the window's close both abort the link.
TEST_F(MeanTakeOverTest, AbbrechenDuringTheWaitWritesNoFile) {
    ExpectNoFileWhenAfter4s([this] { link->Abort(); }, 0);
}

TEST_F(MeanTakeOverTest, NoDataLineFor5sDuringTheWaitFailsTheTakeOver) {
    ExpectNoFileWhenAfter4s([this] { streaming = false; }, 1);
}

TEST_F(MeanTakeOverTest, AHangUpDuringTheWaitFailsTheTakeOver) {
    ExpectNoFileWhenAfter4s([this] { peer->HangUp(); }, 1);
}
