#pragma once

#include "history/historystore.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace quillmore::test {

// A fixed "now", so that ages in days are exact.
inline QDateTime historyNow()
{
    return QDateTime(QDate(2026, 11, 30), QTime(10, 12), Qt::UTC);
}

inline StoredAnswer answerFor(qint64 session, const QString& typed, const QString& e164,
                              const QDateTime& received, bool failure = false)
{
    StoredAnswer a;
    a.session = session;
    a.program = kDesktopProgram;
    a.received = received;
    a.typed = typed;
    QString digits;
    for (const QChar c : typed)
        if (c >= u'0' && c <= u'9')
            digits += c;
    a.sent = digits;
    a.e164 = e164;
    a.answer = failure ? QStringLiteral("Could not connect")
                       : QStringLiteral("{\"phone_number\":\"%1\"}").arg(digits);
    a.httpStatus = failure ? 0 : 200;
    a.cells = {digits,    QStringLiteral("Mobile"),
               QString(), QString(),
               QString(), failure ? QStringLiteral("Could not connect") : QStringLiteral("Active")};
    a.rowStatus = failure ? QStringLiteral("could-not-connect") : QStringLiteral("answered");
    a.failure = failure;
    return a;
}

} // namespace quillmore::test
