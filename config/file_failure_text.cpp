#include "config/file_failure_text.h"

#include "config/system_error.h"

namespace {

std::string WithSystemWords(const std::string& text, long systemError) {
    return systemError == 0 ? text + "." : text + " (" + DescribeSystemError(systemError) + ").";
}

}  // namespace

std::string ReadFailureText(const ReadFileFailure& failure, size_t maxBytes) {
    switch (failure.step) {
        case ReadFileFailure::Step::Open:
            return WithSystemWords("Die Datei lässt sich nicht öffnen", failure.systemError);
        case ReadFileFailure::Step::Read:
            return WithSystemWords("Die Datei lässt sich nicht lesen", failure.systemError);
        case ReadFileFailure::Step::TooLarge:
            return "Die Datei ist zu groß (mehr als " + std::to_string(maxBytes) + " Bytes).";
        case ReadFileFailure::Step::NotRegular:
            break;
    }
    switch (failure.what) {
        case OpenFileKind::What::Folder:
            return "Der Pfad nennt einen Ordner, keine Datei.";
        case OpenFileKind::What::Pipe:
            return "Der Pfad nennt eine benannte Pipe, keine Datei.";
        case OpenFileKind::What::Device:
            return "Der Pfad nennt ein Gerät, keine Datei.";
        case OpenFileKind::What::Regular:
        case OpenFileKind::What::Other:
            break;
    }
    return "Der Pfad nennt keine gewöhnliche Datei.";
}

std::string WriteFailureText(const WriteFileFailure& failure) {
    switch (failure.step) {
        case WriteFileFailure::Step::NoPath:
            return "Es wurde kein Pfad übergeben.";
        case WriteFileFailure::Step::Resolve:
            return "Die Verknüpfungen des Pfads führen im Kreis.";
        case WriteFileFailure::Step::Create:
            return WithSystemWords("Im Ordner der Datei ließ sich keine neue Datei anlegen",
                                   failure.systemError);
        case WriteFileFailure::Step::Write:
            break;
        case WriteFileFailure::Step::Replace:
            return WithSystemWords("Die vorhandene Datei ließ sich nicht ersetzen",
                                   failure.systemError);
    }
    return WithSystemWords("Die Datei ließ sich nicht schreiben", failure.systemError);
}
