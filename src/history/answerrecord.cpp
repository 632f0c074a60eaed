#include "history/answerrecord.h"

#include "numbers/phonenumbers.h"
#include "shell/fileutil.h"

#include <array>
#include <utility>

namespace quillmore {

namespace {

const std::array<std::pair<RowStatus, QString>, 6> kStatusNames = {{
    {RowStatus::Active, QStringLiteral("Active")},
    {RowStatus::Inactive, QStringLiteral("Inactive")},
    {RowStatus::EmptyAnswer, QStringLiteral("EmptyAnswer")},
    {RowStatus::CouldNotConnect, QStringLiteral("CouldNotConnect")},
    {RowStatus::ServiceError, QStringLiteral("ServiceError")},
    {RowStatus::NotSent, QStringLiteral("NotSent")},
}};

const std::array<std::pair<NotSentReason, QString>, 3> kReasonNames = {{
    {NotSentReason::NoNumber, QStringLiteral("NoNumber")},
    {NotSentReason::CannotBeValid, QStringLiteral("CannotBeValid")},
    {NotSentReason::NotLookedUp, QStringLiteral("NotLookedUp")},
}};

} // namespace

QString rowStatusName(const ResultRecord& record)
{
    QString name;
    for (const auto& [status, text] : kStatusNames)
        if (status == record.status)
            name = text;
    if (record.status == RowStatus::NotSent)
        for (const auto& [reason, text] : kReasonNames)
            if (reason == record.notSent)
                name += u'/' + text;
    return name;
}

void applyRowStatusName(ResultRecord& record, const QString& name)
{
    const QString statusPart = name.section(u'/', 0, 0);
    const QString reasonPart = name.section(u'/', 1);
    for (const auto& [status, text] : kStatusNames) {
        if (text != statusPart)
            continue;
        NotSentReason notSent = NotSentReason::None;
        if (status == RowStatus::NotSent) {
            for (const auto& [reason, reasonText] : kReasonNames)
                if (reasonText == reasonPart)
                    notSent = reason;
            if (notSent == NotSentReason::None)
                break;
        } else if (!reasonPart.isEmpty()) {
            break;
        }
        record.status = status;
        record.notSent = notSent;
        const bool answered = status == RowStatus::Active || status == RowStatus::Inactive;
        record.lineType = answered ? record.cells.value(1) : QString();
        return;
    }
    // An earlier version's row: its Status cell is all it has. Its HTTP
    // status, which the history may know, stays.
    const int httpStatus = record.httpStatus;
    restoreRowStatus(record);
    if (record.httpStatus == 0)
        record.httpStatus = httpStatus;
}

StoredAnswer storedAnswerOf(const ResultRecord& record, const PhoneNumbers& numbers)
{
    StoredAnswer a;
    a.typed = record.number;
    a.sent = digitsOnly(record.number);
    a.e164 = numbers.classify(record.number).e164;
    a.answer = record.answer;
    a.httpStatus = record.httpStatus;
    a.cells = record.cells;
    a.rowStatus = rowStatusName(record);
    a.failure = !record.isAnswer();
    return a;
}

ResultRecord recordOf(const StoredAnswer& answer)
{
    ResultRecord record;
    record.number = answer.typed;
    record.cells = answer.cells;
    record.answer = answer.answer;
    record.httpStatus = answer.httpStatus;
    applyRowStatusName(record, answer.rowStatus);
    return record;
}

} // namespace quillmore
