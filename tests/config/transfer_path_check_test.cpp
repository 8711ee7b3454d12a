// The look at the transfer path at the start, on answers the test gives: each way the path
// can be wrong is said with what is wrong where, under the rules of either system.

#include "config/transfer_path_check.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

namespace {

/// A file system of a few names: what each path is, which folders refuse new files, which
/// files refuse writing or are held by another program. Unknown paths are missing.
class FakePathSteps final : public TransferPathSteps {
public:
    explicit FakePathSteps(bool windows) : windows_(windows) {}

    std::string_view Separators() const override { return windows_ ? "\\/:" : "/"; }
    std::string_view ForbiddenCharacters() const override { return windows_ ? "\"<>|" : ""; }
    PathKind KindOf(const std::string& path, long* systemError) override {
        asked.insert(path);
        const auto found = kinds.find(path);
        if (found == kinds.end()) {
            return PathKind::Missing;
        }
        if (found->second == PathKind::Unreachable) {
            *systemError = 0;
        }
        return found->second;
    }
    StepOutcome MayCreateIn(const std::string& folder) override {
        return closedFolders.count(folder) != 0 ? StepOutcome{StepResult::Denied, 0}
                                                : StepOutcome{};
    }
    StepOutcome MayWrite(const std::string& path) override {
        if (heldFiles.count(path) != 0) {
            return {StepResult::InUse, 0};
        }
        return readOnlyFiles.count(path) != 0 ? StepOutcome{StepResult::Denied, 0} : StepOutcome{};
    }
    bool FolderRightsReplaceAnyFile() const override { return !windows_; }

    std::map<std::string, PathKind> kinds;
    std::set<std::string> closedFolders;
    std::set<std::string> readOnlyFiles;
    std::set<std::string> heldFiles;
    std::set<std::string> asked;

private:
    const bool windows_;
};

}  // namespace

TEST(TransferPathProblem, SaysWhatIsWrongWithAWindowsPath) {
    FakePathSteps steps(true);
    steps.kinds = {
        {"C:\\out\\", PathKind::Folder},       {"C:\\out", PathKind::Folder},
        {"C:\\out\\old.csv", PathKind::File},  {"C:\\out\\readonly.csv", PathKind::File},
        {"C:\\out\\held.csv", PathKind::File}, {"C:\\out\\COM1", PathKind::Other},
        {"C:\\notes.txt\\", PathKind::File},   {"C:\\ro\\", PathKind::Folder},
        {"C:\\ro\\old.csv", PathKind::File},   {"\\\\server\\gone\\", PathKind::Unreachable}};
    steps.closedFolders = {"C:\\ro\\", ""};
    steps.readOnlyFiles = {"C:\\out\\readonly.csv"};
    steps.heldFiles = {"C:\\out\\held.csv"};
    const struct {
        const char* path;
        const char* problem;
    } cases[] = {
        {"C:\\out\\m.csv", ""},
        {"C:\\out\\old.csv", ""},
        {"C:\\out\\held.csv", ""},  // it may be let go by the take-over
        {"C:\\ro\\old.csv", ""},    // rewritten in place
        {"",
         "Es wurde kein Pfad übergeben: das Programm wurde mit einem oder zwei Argumenten "
         "statt mit dreien gestartet."},
        {"C:\\out\" /ART=14 C:\\x.csv",
         "Der Pfad enthält ein Anführungszeichen (\"), das in keinem Windows-Pfad stehen kann: "
         "meist hat ein Backslash vor dem schließenden Anführungszeichen (\"C:\\out\\\") es zu "
         "einem Teil des Arguments gemacht."},
        {"C:\\out|x.csv",
         "Der Pfad enthält das Zeichen |, das in keinem Windows-Pfad stehen kann."},
        {"C:\\out\\", "Der Pfad nennt einen Ordner, keine Datei."},
        {"C:\\out", "Der Pfad nennt einen Ordner, keine Datei."},
        {"D:", "Der Pfad nennt einen Ordner, keine Datei."},
        {"C:\\fehlt\\m.csv", "Den Ordner C:\\fehlt\\ gibt es nicht."},
        {"C:\\notes.txt\\m.csv", "C:\\notes.txt\\ ist kein Ordner."},
        {"\\\\server\\gone\\m.csv", "Der Ordner \\\\server\\gone\\ ist nicht erreichbar."},
        {"C:\\out\\COM1", "Der Pfad nennt keine gewöhnliche Datei."},
        {"C:\\ro\\m.csv", "Im Ordner C:\\ro\\ darf keine Datei angelegt werden."},
        {"m.csv", "Im aktuellen Ordner darf keine Datei angelegt werden."},
        // Windows replaces no read-only file, whatever the folder allows.
        {"C:\\out\\readonly.csv", "Die vorhandene Datei darf nicht überschrieben werden."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TransferPathProblem(c.path, steps), c.problem) << c.path;
    }
}

TEST(TransferPathProblem, OnPosixAFolderThatTakesNewFilesReplacesAFileTheUserMayNotWrite) {
    FakePathSteps steps(false);
    steps.kinds = {{"/out/", PathKind::Folder},
                   {"/out/readonly.csv", PathKind::File},
                   {"/ro/", PathKind::Folder},
                   {"/ro/readonly.csv", PathKind::File}};
    steps.closedFolders = {"/ro/"};
    steps.readOnlyFiles = {"/out/readonly.csv", "/ro/readonly.csv"};
    EXPECT_EQ(TransferPathProblem("/out/readonly.csv", steps), "");
    EXPECT_EQ(TransferPathProblem("/ro/readonly.csv", steps),
              "Die vorhandene Datei darf nicht überschrieben werden.");
    // A quote is an ordinary character of a Linux file name.
    EXPECT_EQ(TransferPathProblem("/out/\"m\".csv", steps), "");
    EXPECT_EQ(TransferPathProblem("/out/", steps), "Der Pfad nennt einen Ordner, keine Datei.");
}
