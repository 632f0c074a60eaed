#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>
#include <QStringList>

namespace quillmore {

// What a row is, decided once where the row is made, so that nothing has to
// read a cell's display text to learn it.
enum class RowStatus {
    Active,          // answered, the line is active
    Inactive,        // answered, the line is not (or the service did not say)
    EmptyAnswer,     // the transfer ended with nothing in it
    CouldNotConnect, // no answer came
    ServiceError,    // an error page; its HTTP status is kept beside
    NotSent,         // never sent; the reason is kept beside
};

enum class NotSentReason { None, NoNumber, CannotBeValid, NotLookedUp };

// One row of the results list with what it was made from: the number as the
// list held it and the service's answer text, so that the row can be kept,
// restored and exported with every field the service sent.
struct ResultRecord
{
    ResultRecord() = default;
    // A row from its cells alone takes its status from the Status cell, as a
    // row kept by an earlier version does.
    ResultRecord(QString number, QStringList cells, QString answer = {}, bool ticked = false);

    QString number;    // the number list entry, as typed
    QStringList cells; // "Phone Number", "Type", "Name", "Location", "Provider", "Status"
    QString answer;    // the answer text the row was read from
    bool ticked = false;
    RowStatus status = RowStatus::Inactive;
    // The HTTP status the answer came with, where the row was made from one
    // (0 where none came, and in rows kept by earlier versions but for
    // service errors, whose Status cell names it).
    int httpStatus = 0;
    NotSentReason notSent = NotSentReason::None;
    QString lineType; // as the service named it; empty without an answer
    // When the row is an earlier lookup's answer used again rather than
    // paid for anew: the time (UTC) that answer was received. Null otherwise.
    QDateTime reusedFrom;

    // The service answered about the number: the row holds what was paid for.
    bool isAnswer() const { return status == RowStatus::Active || status == RowStatus::Inactive; }
    // A request was made but brought nothing usable; a resumed run asks again.
    bool isFailure() const
    {
        return status == RowStatus::EmptyAnswer || status == RowStatus::CouldNotConnect ||
               status == RowStatus::ServiceError;
    }
};

// The results list's column captions, which the results files repeat.
inline const QStringList kResultCaptions = {
    QStringLiteral("Phone Number"), QStringLiteral("Type"),     QStringLiteral("Name"),
    QStringLiteral("Location"),     QStringLiteral("Provider"), QStringLiteral("Status")};

// The Status cell's texts of rows that hold no answer.
inline const QString kEmptyAnswerStatus = QStringLiteral("Empty answer");
inline const QString kNoNumberStatus = QStringLiteral("No number");
inline const QString kCannotBeValidStatus = QStringLiteral("Cannot be a valid number");
inline const QString kNotLookedUpStatus = QStringLiteral("Not looked up");

// Rows kept by earlier versions carry only their cells and answer: their
// status is read back from the Status cell they were written with. New rows
// get theirs where they are made.
void restoreRowStatus(ResultRecord& record);

// The Status cell of a row that was not sent.
QString notSentStatus(NotSentReason reason);

} // namespace quillmore

Q_DECLARE_METATYPE(quillmore::ResultRecord)
