#include "app/session_record.h"

#include <QDir>
#include <QFileInfo>
#include <QMutexLocker>
#include <QStringList>
#include <algorithm>
#include <atomic>

namespace {

std::atomic<SessionRecord*> installedRecord{nullptr};
QtMessageHandler previousHandler = nullptr;

const QString kNamePrefix = QStringLiteral("fumilink-");
const QString kNameSuffix = QStringLiteral(".log");
const QString kRefusedSuffix = QStringLiteral("-refused.log");

QString Stem(const QString& name) {
    return name.chopped(name.endsWith(kRefusedSuffix) ? kRefusedSuffix.size() : kNameSuffix.size());
}

/// The record files in `folder`, oldest first. The names sort as the runs started; those of
/// earlier versions (-2, -3 after a run of the same second) sort among them by their time.
QStringList RecordsOldestFirst(const QDir& folder) {
    QStringList names = folder.entryList({kNamePrefix + QStringLiteral("*") + kNameSuffix},
                                         QDir::Files | QDir::Hidden);
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return Stem(a) < Stem(b); });
    return names;
}

}  // namespace

SessionRecord::SessionRecord(const QString& folder, const QDateTime& start, Limits limits)
    : limits_(limits), folder_(folder) {
    sinceStart_.start();
    QDir dir(folder);
    if (folder.isEmpty() || !dir.mkpath(QStringLiteral("."))) {
        return;
    }
#ifndef Q_OS_WIN
    // Also a folder an earlier version made open to all. On Windows the user's local
    // application data is the user's alone already.
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
#endif
    const QDateTime oldestKept = start.addDays(-limits_.keptDays);
    for (const QString& name : RecordsOldestFirst(dir)) {
        if (QFileInfo(dir.filePath(name)).lastModified() < oldestKept) {
            dir.remove(name);
        }
    }
    const QString stem = kNamePrefix + start.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (int n = 1; n <= 99 && !file_.isOpen(); ++n) {
        const QString numbered = stem + QStringLiteral("-%1").arg(n, 2, 10, QLatin1Char('0'));
        if (QFile::exists(dir.filePath(numbered + kRefusedSuffix))) {
            continue;
        }
        file_.setFileName(dir.filePath(numbered + kNameSuffix));
        // NewOnly: two runs of the same second must not share a file.
#ifdef Q_OS_WIN
        file_.open(QIODevice::WriteOnly | QIODevice::NewOnly);
#else
        file_.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFile::ReadOwner | QFile::WriteOwner);
#endif
    }
    if (!file_.isOpen()) {
        return;
    }
    WriteLine(QStringLiteral("Fumilink session record, started %1\n")
                  .arg(start.toString(Qt::ISODate))
                  .toUtf8());
}

void SessionRecord::RemoveOldest(bool refused) {
    QDir dir(folder_);
    QStringList records = RecordsOldestFirst(dir);
    records.removeIf([&](const QString& name) { return name.endsWith(kRefusedSuffix) != refused; });
    for (qsizetype i = 0; i + limits_.keptRuns < records.size(); ++i) {
        dir.remove(records[i]);
    }
}

void SessionRecord::KeepNewestRuns() {
    QMutexLocker lock(&mutex_);
    if (file_.isOpen()) {
        RemoveOldest(false);
    }
}

void SessionRecord::EndRefused(const QString& reason) {
    Write(QStringLiteral("fumilink.app"), QStringLiteral("end: ") + reason);
    QMutexLocker lock(&mutex_);
    if (!file_.isOpen()) {
        return;
    }
    // Closed first: what comes later in this run has nothing to add.
    file_.close();
    const QString name = file_.fileName();
    if (file_.rename(name.chopped(kNameSuffix.size()) + kRefusedSuffix)) {
        RemoveOldest(true);
    }
}

SessionRecord* SessionRecord::Installed() {
    return installedRecord.load();
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
