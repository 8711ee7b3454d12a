#include "app/session_record.h"

#include <QDir>
#include <QMutexLocker>
#include <QStringList>
#include <algorithm>
#include <atomic>

namespace {

std::atomic<SessionRecord*> installedRecord{nullptr};
QtMessageHandler previousHandler = nullptr;

const QString kNamePrefix = QStringLiteral("fumilink-");
const QString kNameSuffix = QStringLiteral(".log");

/// The record files in `folder`, oldest first: the name's time stamp orders them, and a
/// suffix -2, -3 comes after the run of the same second without one.
QStringList RecordsOldestFirst(const QDir& folder) {
    QStringList names = folder.entryList({kNamePrefix + QStringLiteral("*") + kNameSuffix},
                                         QDir::Files | QDir::Hidden);
    const auto stem = [](const QString& name) { return name.chopped(kNameSuffix.size()); };
    std::sort(names.begin(), names.end(),
              [&](const QString& a, const QString& b) { return stem(a) < stem(b); });
    return names;
}

}  // namespace

SessionRecord::SessionRecord(const QString& folder, const QDateTime& start, Limits limits)
    : limits_(limits) {
    sinceStart_.start();
    QDir dir(folder);
    if (folder.isEmpty() || !dir.mkpath(QStringLiteral("."))) {
        return;
    }
    // The oldest go first, so that with this one the newest keptRuns remain.
    const QStringList records = RecordsOldestFirst(dir);
    for (qsizetype i = 0; i + limits_.keptRuns <= records.size(); ++i) {
        dir.remove(records[i]);
    }
    const QString stem = kNamePrefix + start.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (int n = 1; n <= 99 && !file_.isOpen(); ++n) {
        file_.setFileName(
            dir.filePath(stem + (n == 1 ? QString() : QStringLiteral("-%1").arg(n)) + kNameSuffix));
        // NewOnly: two runs of the same second must not share a file.
        file_.open(QIODevice::WriteOnly | QIODevice::NewOnly);
    }
    if (!file_.isOpen()) {
        return;
    }
    WriteLine(QStringLiteral("Fumilink session record, started %1\n")
                  .arg(start.toString(Qt::ISODate))
                  .toUtf8());
}

SessionRecord::~SessionRecord() {
    if (installed_) {
        SessionRecord* self = this;
        installedRecord.compare_exchange_strong(self, nullptr);
        qInstallMessageHandler(previousHandler);
    }
}

void SessionRecord::WriteLine(const QByteArray& line) {
    if (cut_ || !file_.isOpen()) {
        return;
    }
    const QByteArray cutLine = QStringLiteral(
                                   "%1 the record ends here: it has reached %2 bytes, "
                                   "the rest of the run is not recorded\n")
                                   .arg(sinceStart_.elapsed())
                                   .arg(limits_.maxBytes)
                                   .toUtf8();
    if (written_ + line.size() + cutLine.size() > limits_.maxBytes) {
        cut_ = true;
        written_ += file_.write(cutLine);
    } else {
        written_ += file_.write(line);
    }
    // Line by line to the system: what a crash leaves behind is the record up to it.
    file_.flush();
}

void SessionRecord::Write(const QString& category, const QString& text) {
    QString oneLine = text;
    oneLine.replace(QLatin1Char('\n'), QLatin1String(" / ")).remove(QLatin1Char('\r'));
    QMutexLocker lock(&mutex_);
    WriteLine(
        QStringLiteral("%1 %2 %3\n").arg(sinceStart_.elapsed()).arg(category, oneLine).toUtf8());
}

void SessionRecord::Install() {
    installed_ = true;
    installedRecord = this;
    previousHandler = qInstallMessageHandler(&SessionRecord::Handle);
}

void SessionRecord::Handle(QtMsgType type, const QMessageLogContext& context,
                           const QString& message) {
    const QString category =
        QString::fromLatin1(context.category != nullptr ? context.category : "default");
    if (SessionRecord* record = installedRecord.load()) {
        record->Write(category, message);
    }
    if (!category.startsWith(QLatin1String("fumilink.")) && previousHandler != nullptr) {
        previousHandler(type, context, message);
    }
}
