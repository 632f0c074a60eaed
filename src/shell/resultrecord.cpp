#include "shell/resultrecord.h"

namespace quillmore {

namespace {

const QString kCouldNotConnectText = QStringLiteral("Could not connect");
const QString kServiceErrorPrefix = QStringLiteral("Service error (HTTP ");

} // namespace

ResultRecord::ResultRecord(QString number, QStringList cells, QString answer, bool ticked)
    : number(std::move(number)), cells(std::move(cells)), answer(std::move(answer)), ticked(ticked)
{
    restoreRowStatus(*this);
}

void restoreRowStatus(ResultRecord& record)
{
    const QString status = record.cells.value(5);
    record.httpStatus = 0;
    record.notSent = NotSentReason::None;
    record.lineType.clear();
    if (status == kCouldNotConnectText) {
        record.status = RowStatus::CouldNotConnect;
    } else if (status == kEmptyAnswerStatus) {
        record.status = RowStatus::EmptyAnswer;
    } else if (status.startsWith(kServiceErrorPrefix) && status.endsWith(u')')) {
        record.status = RowStatus::ServiceError;
        record.httpStatus =
            status
                .sliced(kServiceErrorPrefix.size(), status.size() - kServiceErrorPrefix.size() - 1)
                .toInt();
    } else if (status == kNoNumberStatus || status == kCannotBeValidStatus ||
               status == kNotLookedUpStatus) {
        record.status = RowStatus::NotSent;
        record.notSent = status == kNoNumberStatus        ? NotSentReason::NoNumber
                         : status == kCannotBeValidStatus ? NotSentReason::CannotBeValid
                                                          : NotSentReason::NotLookedUp;
    } else {
        record.status = status == QLatin1String("Active") ? RowStatus::Active : RowStatus::Inactive;
        record.lineType = record.cells.value(1);
    }
}

QString notSentStatus(NotSentReason reason)
{
    switch (reason) {
    case NotSentReason::NoNumber:
        return kNoNumberStatus;
    case NotSentReason::CannotBeValid:
        return kCannotBeValidStatus;
    case NotSentReason::NotLookedUp:
        return kNotLookedUpStatus;
    case NotSentReason::None:
        break;
    }
    return {};
}

} // namespace quillmore
