#pragma once
// The session record: what happened in one run, as support needs it after a call from the
// field ("it does not find my analyser", "it said no answer"). Every run writes one text
// file (UTF-8), one line per event with the milliseconds since the start, the wall-clock
// date and time once at the top. The layers write their events through Qt's logging, each
// in a category of its own (fumilink.app, fumilink.serial, fumilink.link, fumilink.ui);
// Install() makes this record the message handler. QT_LOGGING_RULES turns on more detail
// (fumilink.link.debug=true: every data line).
//
// The file is written as the run goes, line by line, so that a crash or a killed process
// keeps what came before. Files are named by the start time and a counter for the runs of
// that second (fumilink-YYYYMMDD-HHMMSS-01.log, -02 ...), so that their names sort as the
// runs started; each is cut at kMaxBytes with a line that says so. They hold customers'
// paths and an analyser's serial number: the folder and the files are the user's alone
// (0700 and 0600 where the system has modes). Records older than the days kept go at the
// start; of the runs that went on to their search the newest kKeptRuns are kept, and a run
// refused at once (a second copy, no window) keeps its record apart, under a name ending
// in -refused.log, so that refused runs never push out a record of a real one. A folder
// that cannot be made or written costs the run nothing: no record, no message, no delay.
//
// Thread safety: Write and the handler may be called on any thread.

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QString>

class SessionRecord {
public:
    static constexpr int kKeptRuns = 20;
    static constexpr qint64 kMaxBytes = 1024 * 1024;

    static constexpr int kKeptDays = 30;

    struct Limits {
        int keptRuns = kKeptRuns;
        qint64 maxBytes = kMaxBytes;
        int keptDays = kKeptDays;  ///< records last written before start - keptDays go
    };

    /// Starts the record of a run that started at `start`, in `folder` (made when missing,
    /// and made the user's alone), after removing the records older than `limits.keptDays`.
    SessionRecord(const QString& folder, const QDateTime& start, Limits limits);
    SessionRecord(const QString& folder, const QDateTime& start)
        : SessionRecord(folder, start, Limits{}) {}
    /// Stops handling messages if it was installed.
    ~SessionRecord();
    SessionRecord(const SessionRecord&) = delete;
    SessionRecord& operator=(const SessionRecord&) = delete;

    bool IsOpen() const { return file_.isOpen(); }
    /// The record's file; empty when there is none.
    QString FilePath() const { return IsOpen() ? file_.fileName() : QString(); }

    /// The run goes on to its search: of the records of such runs the newest
    /// `limits.keptRuns` remain, this one counted.
    void KeepNewestRuns();

    /// The run ends before its search: writes "end: `reason`" and closes the record under
    /// the name of a refused run; of those the newest `limits.keptRuns` remain.
    void EndRefused(const QString& reason);

    /// The record Install() made the message handler; null when there is none.
    static SessionRecord* Installed();

    /// Writes one event: the milliseconds since the start, the category and the text (its
    /// line breaks shown as " / ").
    void Write(const QString& category, const QString& text);

    /// From now on every message of the program's categories goes here, and only here;
    /// other messages (Qt's own) go here and to the handler that was installed before.
    void Install();

private:
    static void Handle(QtMsgType type, const QMessageLogContext& context, const QString& message);
    void WriteLine(const QByteArray& line);
    /// Removes the oldest of the records whose names say `refused` or not, so that
    /// `limits_.keptRuns` remain.
    void RemoveOldest(bool refused);

    QElapsedTimer sinceStart_;
    const Limits limits_;
    QMutex mutex_;
    QString folder_;
    QFile file_;
    qint64 written_ = 0;
    bool cut_ = false;
    bool installed_ = false;
};
