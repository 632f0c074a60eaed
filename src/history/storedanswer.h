#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace quillmore {

inline const QString kDesktopProgram = QStringLiteral("desktop");
inline const QString kCliProgram = QStringLiteral("cli");

// One answer as it arrived, or one attempt that got none.
struct StoredAnswer
{
    qint64 id = 0;      // given by the store
    qint64 session = 0; // the desktop session or command-line run it came in
    QString program;    // kDesktopProgram or kCliProgram
    QDateTime received; // UTC, to the millisecond
    QString typed;      // the number as the list or the input held it
    QString sent;       // the digits the request carried
    QString e164;       // empty where the number has no E.164 form
    QString answer;     // the answer text, as the row was read from it
    int httpStatus = 0;
    QStringList cells; // the result row's cells
    QString rowStatus; // the row's status as the program names it
    // Not an answer the service gave ("Could not connect", a service error,
    // an empty file): kept for the record, never reused.
    bool failure = false;

    // What reuse and forgetting match on: the E.164 form, else the digits sent.
    QString key() const { return e164.isEmpty() ? sent : e164; }
};

// A desktop session or a command-line run.
struct HistorySession
{
    qint64 id = 0;
    QString program;
    QString runKey; // what names a command-line run across its resumes
    QDateTime started;
    QDateTime lastChange; // the last answer or change of its list
    bool restored = false;
    bool ended = false;
    qint64 rows = 0; // rows its list holds
};

// One answer a command-line run that did not end holds, as resuming needs it.
struct RunAnswer
{
    qint64 id = 0;
    qint64 session = 0;
    QString typed;
    // An empty answer: paid for, so kept, but not a good row.
    bool failed = false;
};

// The newest reusable answer for one key.
struct ReusableAnswer
{
    qint64 id = 0;
    QDateTime received;
};

} // namespace quillmore
