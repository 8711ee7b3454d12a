#include "config/transfer_path_check.h"

#include "config/file_failure_text.h"
#include "config/path_parts.h"
#include "config/system_error.h"

namespace {

std::string WithSystemReason(const std::string& text, long systemError) {
    return systemError == 0 ? text + "." : text + " (" + DescribeSystemError(systemError) + ").";
}

std::string ForbiddenCharacterText(char c) {
    if (c == '"') {
        // Nobody types a quote into a path: a backslash in front of the closing quote of an
        // argument ("C:\out\") made it part of the argument.
        return "Der Pfad enthält ein Anführungszeichen (\"), das in keinem Windows-Pfad stehen "
               "kann: meist hat ein Backslash vor dem schließenden Anführungszeichen "
               "(\"C:\\out\\\") es zu einem Teil des Arguments gemacht.";
    }
    return std::string("Der Pfad enthält das Zeichen ") + c +
           ", das in keinem Windows-Pfad stehen kann.";
}

std::string FolderText(const std::string& folder) {
    return folder.empty() ? std::string("Im aktuellen Ordner") : "Im Ordner " + folder;
}

}  // namespace

std::string TransferPathProblem(const std::string& path, TransferPathSteps& steps) {
    if (path.empty()) {
        return "Es wurde kein Pfad übergeben: das Programm wurde mit einem oder zwei Argumenten "
               "statt mit dreien gestartet.";
    }
    const size_t forbidden = path.find_first_of(steps.ForbiddenCharacters());
    if (forbidden != std::string::npos) {
        return ForbiddenCharacterText(path[forbidden]);
    }
    const std::string_view separators = steps.Separators();
    long error = 0;
    const PathKind target = steps.KindOf(path, &error);
    if (separators.find(path.back()) != std::string_view::npos || target == PathKind::Folder) {
        return "Der Pfad nennt einen Ordner, keine Datei.";
    }
    const std::string folder = DirectoryPart(path, separators);
    if (!folder.empty()) {
        long folderError = 0;
        switch (steps.KindOf(folder, &folderError)) {
            case PathKind::Folder:
                break;
            case PathKind::Missing:
                return "Den Ordner " + folder + " gibt es nicht.";
            case PathKind::Unreachable:
                return WithSystemReason("Der Ordner " + folder + " ist nicht erreichbar",
                                        folderError);
            case PathKind::File:
            case PathKind::Other:
                return folder + " ist kein Ordner.";
        }
    }
    switch (target) {
        case PathKind::Unreachable:
            return WithSystemReason("Der Pfad ist nicht erreichbar", error);
        case PathKind::Other:
            return "Der Pfad nennt keine gewöhnliche Datei.";
        case PathKind::Folder:  // said above
        case PathKind::Missing:
        case PathKind::File:
            break;
    }
    const StepOutcome create = steps.MayCreateIn(folder);
    if (target == PathKind::Missing) {
        return create.Done() ? std::string()
                             : WithSystemReason(FolderText(folder) +
                                                    " darf keine Datei angelegt "
                                                    "werden",
                                                create.systemError);
    }
    if (create.Done() && steps.FolderRightsReplaceAnyFile()) {
        return {};
    }
    // Where the folder refuses a new file, the safe replace rewrites the file in place.
    const StepOutcome write = steps.MayWrite(path);
    if (write.Done() || write.result == StepResult::InUse) {
        return {};
    }
    return WithSystemReason("Die vorhandene Datei darf nicht überschrieben werden",
                            write.systemError);
}

std::string TransferPathProblem(const std::string& path) {
    return TransferPathProblem(path, NativeTransferPathSteps());
}

std::string TransferWriteProblem(const std::string& path, const WriteFileFailure& failure,
                                 TransferPathSteps& steps) {
    if (std::string seen = TransferPathProblem(path, steps); !seen.empty()) {
        return seen;
    }
    return WriteFailureText(failure);
}

std::string TransferWriteProblem(const std::string& path, const WriteFileFailure& failure) {
    return TransferWriteProblem(path, failure, NativeTransferPathSteps());
}
