#include "lookup/resultrow.h"

#include "lookup/answer.h"
#include "lookup/jsvalue.h"

#include <QRandomGenerator>

namespace quillmore {

QString locationText(Dialogs& dialogs, const QString& answer)
{
    static const char* const keys[] = {"street_line_1", "street_line_2", "city",
                                       "zip4",          "state_code",    "country_code"};
    const QString null = QStringLiteral("null");
    const QString separator = QStringLiteral(", ");
    QString location;
    for (int i = 0; i < 6; ++i) {
        const QString key = QLatin1String(keys[i]);
        // Read twice, as the row always has been: once to test, once for the text.
        if (getJSValue(dialogs, answer, key) == null)
            continue;
        location += getJSValue(dialogs, answer, key);
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

QStringList resultRow(Dialogs& dialogs, const QString& number, const QString& answer,
                      int httpStatus)
{
    // No answer came: say so, and which number it was, rather than read
    // "Inactive" and an empty address out of our own placeholder text.
    if (answer == kCouldNotConnect)
        return {number, {}, {}, {}, {}, kCouldNotConnect};
    // An error page holds none of the values, and reading them out of it
    // would lose the number.
    if (isErrorStatus(httpStatus))
        return {number, {}, {}, {}, {}, serviceErrorStatus(httpStatus)};
    if (answer == kEmptyFile)
        return {number, {}, {}, {}, {}, QStringLiteral("Empty answer")};
    QStringList cells;
    cells.reserve(6);
    cells << getJSValue(dialogs, answer, QStringLiteral("phone_number"))
          << getJSValue(dialogs, answer, QStringLiteral("line_type"))
          << getJSValue(dialogs, answer, QStringLiteral("name")) << locationText(dialogs, answer)
          << getJSValue(dialogs, answer, QStringLiteral("carrier"))
          << statusText(getJSValue(dialogs, answer, QStringLiteral("is_active")));
    return cells;
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
