#include "lookup/resultrow.h"

#include "lookup/answer.h"
#include "lookup/jsvalue.h"

#include <QRandomGenerator>

namespace quillmore {

QString locationText(const QString& answer, QList<Failure>* failures)
{
    static const char* const keys[] = {"street_line_1", "street_line_2", "city",
                                       "zip4",          "state_code",    "country_code"};
    const QString null = QStringLiteral("null");
    const QString separator = QStringLiteral(", ");
    QString location;
    for (int i = 0; i < 6; ++i) {
        const QString key = QLatin1String(keys[i]);
        // Read twice, as the row always has been: once to test, once for the text.
        if (getJSValue(answer, key, failures) == null)
            continue;
        location += getJSValue(answer, key, failures);
        if (i < 5)
            location += separator;
    }
    return location;
}

QString statusText(const QString& isActive)
{
    return isActive == QStringLiteral("true") ? QStringLiteral("Active")
                                              : QStringLiteral("Inactive");
}

ResultRecord resultRow(const QString& number, const QString& answer, int httpStatus,
                       QList<Failure>* failures)
{
    ResultRecord record;
    record.number = number;
    record.answer = answer;
    // No answer came: say so, and which number it was, rather than read
    // "Inactive" and an empty address out of our own placeholder text.
    if (answer == kCouldNotConnect) {
        record.cells = QStringList{number, {}, {}, {}, {}, kCouldNotConnect};
        record.status = RowStatus::CouldNotConnect;
        return record;
    }
    // An error page holds none of the values, and reading them out of it
    // would lose the number.
    if (isErrorStatus(httpStatus)) {
        record.cells = QStringList{number, {}, {}, {}, {}, serviceErrorStatus(httpStatus)};
        record.status = RowStatus::ServiceError;
        record.httpStatus = httpStatus;
        return record;
    }
    if (answer == kEmptyFile) {
        record.cells = QStringList{number, {}, {}, {}, {}, kEmptyAnswerStatus};
        record.status = RowStatus::EmptyAnswer;
        return record;
    }
    QStringList& cells = record.cells;
    cells.reserve(6);
    // One statement per cell: the failures come in the order the cells are read.
    cells << getJSValue(answer, QStringLiteral("phone_number"), failures);
    cells << getJSValue(answer, QStringLiteral("line_type"), failures);
    cells << getJSValue(answer, QStringLiteral("name"), failures);
    cells << locationText(answer, failures);
    cells << getJSValue(answer, QStringLiteral("carrier"), failures);
    const QString isActive = getJSValue(answer, QStringLiteral("is_active"), failures);
    cells << statusText(isActive);
    record.status = isActive == QStringLiteral("true") ? RowStatus::Active : RowStatus::Inactive;
    record.lineType = cells.at(1);
    return record;
}

int randomPauseSeconds(double uniform)
{
    return 3 + int(uniform * 4);
}

int randomPauseSeconds()
{
    return randomPauseSeconds(QRandomGenerator::global()->generateDouble());
}

} // namespace quillmore
