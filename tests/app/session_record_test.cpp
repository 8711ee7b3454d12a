// The session record's file: named by the run's start so that names sort as the runs
// started, never overwriting another run's, the user's alone, old ones gone by age, the
// newest runs kept (refused runs apart) and each one bounded, and nothing at all where the
// folder cannot be made. Installed, it takes the program's messages from Qt's logging.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "app/session_record.h"

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

namespace {

Q_LOGGING_CATEGORY(lcTest, "fumilink.test", QtInfoMsg)
Q_LOGGING_CATEGORY(lcForeign, "qt.foreign.test", QtInfoMsg)

const QDateTime kStart(QDate(2026, 12, 10), QTime(9, 5, 7));

QString ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QStringList Records(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("*.log")}, QDir::Files, QDir::Name);
}

/// Makes the file, last written at `written` when given.
void Touch(const QString& path, const QDateTime& written = QDateTime()) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    if (written.isValid()) {
        ASSERT_TRUE(file.setFileTime(written, QFileDevice::FileModificationTime));
    }
}

}  // namespace

TEST(SessionRecord, OneFilePerRunNamedByItsStartAndRunsOfTheSameSecondKeepTheirOwn) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("state/fumilink/logs"));
    SessionRecord first(folder, kStart);
    SessionRecord second(folder, kStart);
    ASSERT_TRUE(first.IsOpen());
    ASSERT_TRUE(second.IsOpen());
    EXPECT_EQ(QFileInfo(first.FilePath()).fileName(),
              QStringLiteral("fumilink-20261210-090507-01.log"));
    EXPECT_EQ(QFileInfo(second.FilePath()).fileName(),
              QStringLiteral("fumilink-20261210-090507-02.log"));
    // A file manager lists them as the runs started, also past the ninth of a second.
    std::vector<std::unique_ptr<SessionRecord>> more;
    QStringList started = {QFileInfo(first.FilePath()).fileName(),
                           QFileInfo(second.FilePath()).fileName()};
    for (int i = 0; i < 9; ++i) {
        more.push_back(std::make_unique<SessionRecord>(folder, kStart));
        started << QFileInfo(more.back()->FilePath()).fileName();
    }
    more.push_back(std::make_unique<SessionRecord>(folder, kStart.addSecs(1)));
    started << QFileInfo(more.back()->FilePath()).fileName();
    EXPECT_EQ(Records(folder), started);
#ifndef Q_OS_WIN
    // Private also where the umask would let others read.
    const mode_t umaskBefore = ::umask(0);
    SessionRecord open(dir.filePath(QStringLiteral("open/logs")), kStart);
    ::umask(umaskBefore);
    ASSERT_TRUE(open.IsOpen());
    const auto mode = [](const QString& path) {
        struct stat info {};
        return ::stat(path.toLocal8Bit().constData(), &info) == 0 ? info.st_mode & 07777 : 0u;
    };
    EXPECT_EQ(mode(dir.filePath(QStringLiteral("open/logs"))), 0700u);
    EXPECT_EQ(mode(open.FilePath()), 0600u);
    EXPECT_EQ(mode(folder), 0700u);
#endif

    // Written as it happens: readable before the record ends, one event per line.
    first.Write(QStringLiteral("fumilink.ui"), QStringLiteral("box Fehler:\r\nzweite Zeile"));
    const QStringList lines = ReadAll(first.FilePath()).split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 3) << ReadAll(first.FilePath()).toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("Fumilink session record, started 2026-12-10T09:05:07"));
    EXPECT_TRUE(lines[1].contains(
        QRegularExpression(QStringLiteral("^\\d+ fumilink\\.ui box Fehler: / zweite Zeile$"))))
        << lines[1].toStdString();
    EXPECT_EQ(ReadAll(second.FilePath()).count(QLatin1Char('\n')), 1);
}

TEST(SessionRecord, OldOnesGoByAgeRefusedRunsKeepApartAndTheNewestRunsStay) {
    QTemporaryDir dir;
    const QString folder = dir.path();
    // The names of earlier versions among them; a file of another name stays however old.
    // With 2 days kept, what was written before 09:05:07 two days ago goes.
    const QDateTime old = kStart.addDays(-2).addSecs(-1);
    const QDateTime recent = kStart.addDays(-2).addSecs(1);
    const struct {
        const char* name;
        QDateTime written;
    } files[] = {
        {"fumilink-20261130-100000.log", old},
        {"fumilink-20261208-100000.log", recent},
        {"fumilink-20261209-080000.log", recent},
        {"fumilink-20261209-080000-2.log", recent},
        {"fumilink-20261209-120000-01.log", recent},
        {"fumilink-20261209-115959-01-refused.log", old},
        {"fumilink-20261209-120001-01-refused.log", recent},
        {"fumilink-20261209-120002-01-refused.log", recent},
        {"fumilink-20261209-120003-01-refused.log", recent},
        {"fumilink.ini", old},
    };
    for (const auto& file : files) {
        Touch(dir.filePath(QString::fromLatin1(file.name)), file.written);
    }
    const SessionRecord::Limits limits{3, 400, 2};
    SessionRecord refused(folder, kStart, limits);
    ASSERT_TRUE(refused.IsOpen());
    refused.EndRefused(QStringLiteral("another copy runs on this workplace"));
    // Refused runs push out only refused ones; a run that goes on, only those that did.
    SessionRecord record(folder, kStart.addSecs(1), limits);
    ASSERT_TRUE(record.IsOpen());
    record.KeepNewestRuns();
    EXPECT_EQ(Records(folder),
              QStringList({QStringLiteral("fumilink-20261209-080000-2.log"),
                           QStringLiteral("fumilink-20261209-120000-01.log"),
                           QStringLiteral("fumilink-20261209-120002-01-refused.log"),
                           QStringLiteral("fumilink-20261209-120003-01-refused.log"),
                           QStringLiteral("fumilink-20261210-090507-01-refused.log"),
                           QStringLiteral("fumilink-20261210-090508-01.log")}));
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("fumilink.ini"))));
    EXPECT_TRUE(ReadAll(dir.filePath(QStringLiteral("fumilink-20261210-090507-01-refused.log")))
                    .endsWith(QStringLiteral(" fumilink.app end: another copy runs on this "
                                             "workplace\n")));
}

TEST(SessionRecord, CutsALongOneWithALineThatSaysSo) {
    QTemporaryDir dir;
    SessionRecord record(dir.path(), kStart, {3, 400});
    ASSERT_TRUE(record.IsOpen());

    for (int i = 0; i < 50; ++i) {
        record.Write(QStringLiteral("fumilink.link"), QStringLiteral("COM5 data \"041G 179.7;\""));
    }
    const QString text = ReadAll(record.FilePath());
    EXPECT_LE(QFileInfo(record.FilePath()).size(), 400);
    EXPECT_TRUE(text.endsWith(QStringLiteral("the rest of the run is not recorded\n")))
        << text.toStdString();
    EXPECT_EQ(text.count(QStringLiteral("record ends here")), 1);
}

TEST(SessionRecord, AFolderThatCannotBeMadeCostsTheRunNothing) {
    QTemporaryDir dir;
    Touch(dir.filePath(QStringLiteral("state")));  // a file where the folder would be
    SessionRecord record(dir.filePath(QStringLiteral("state/fumilink/logs")), kStart);
    EXPECT_FALSE(record.IsOpen());
    EXPECT_TRUE(record.FilePath().isEmpty());
    record.Install();
    qCInfo(lcTest) << "goes nowhere, and nothing breaks";
    record.Write(QStringLiteral("fumilink.app"), QStringLiteral("end: exit code 0"));
}

namespace {
QStringList passedOn;
void CollectingHandler(QtMsgType, const QMessageLogContext& context, const QString& message) {
    passedOn << QString::fromLatin1(context.category) + QLatin1Char(' ') + message;
}
}  // namespace

TEST(SessionRecord, InstalledItTakesTheProgramsCategoriesAloneAndPassesOthersOn) {
    QTemporaryDir dir;
    passedOn.clear();
    const QtMessageHandler before = qInstallMessageHandler(&CollectingHandler);
    QString path;
    {
        SessionRecord record(dir.path(), kStart);
        record.Install();
        path = record.FilePath();
        qCInfo(lcTest).noquote() << "COM5 >"
                                 << "\"R001\"";
        qCInfo(lcForeign).noquote() << "from the toolkit";
    }
    // Gone with the record: what comes after reaches the handler before it again.
    qCInfo(lcTest).noquote() << "after the record";
    qInstallMessageHandler(before);

    const QString text = ReadAll(path);
    EXPECT_TRUE(text.contains(QStringLiteral(" fumilink.test COM5 > \"R001\"\n")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral(" qt.foreign.test from the toolkit\n")));
    EXPECT_FALSE(text.contains(QStringLiteral("after the record")));
    EXPECT_EQ(passedOn, QStringList({QStringLiteral("qt.foreign.test from the toolkit"),
                                     QStringLiteral("fumilink.test after the record")}));
}
