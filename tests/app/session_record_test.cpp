// The session record's file: named by the run's start, never overwriting another run's,
// the newest runs kept and each one bounded, and nothing at all where the folder cannot
// be made. Installed, it takes the program's messages from Qt's logging.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <string>

#include "app/session_record.h"

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

void Touch(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
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
              QStringLiteral("fumilink-20261210-090507.log"));
    EXPECT_EQ(QFileInfo(second.FilePath()).fileName(),
              QStringLiteral("fumilink-20261210-090507-2.log"));

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

TEST(SessionRecord, KeepsTheNewestRunsAndCutsALongOneWithALineThatSaysSo) {
    QTemporaryDir dir;
    const QString folder = dir.path();
    // Older runs, one of them the second of its second; a file of another name stays.
    for (const char* name :
         {"fumilink-20261208-100000.log", "fumilink-20261209-080000.log",
          "fumilink-20261209-080000-2.log", "fumilink-20261209-120000.log", "fumilink.ini"}) {
        Touch(dir.filePath(QString::fromLatin1(name)));
    }
    SessionRecord record(folder, kStart, {3, 400});
    ASSERT_TRUE(record.IsOpen());
    EXPECT_EQ(Records(folder), QStringList({QStringLiteral("fumilink-20261209-080000-2.log"),
                                            QStringLiteral("fumilink-20261209-120000.log"),
                                            QStringLiteral("fumilink-20261210-090507.log")}));
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("fumilink.ini"))));

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
