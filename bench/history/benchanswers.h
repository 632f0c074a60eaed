#pragma once

// A stored answer about the size of a real one, for the benches that fill a
// lookup history with a million of them.

#include "history/storedanswer.h"
#include "lookup/resultrow.h"

#include <QDateTime>
#include <QString>

namespace quillmore::bench {

// The answer the service gives for `digits` (a US number without its "1"),
// and the row read from it, as a lookup would store them.
inline StoredAnswer benchAnswer(const QString& digits, const QDateTime& received)
{
    StoredAnswer a;
    a.received = received;
    a.typed = a.sent = digits;
    a.e164 = QStringLiteral("+1") + digits;
    a.answer = QStringLiteral("{\"phone_number\":\"%1\",\"line_type\":\"Mobile\",\"carrier\":"
                              "\"Verizon Wireless\",\"is_valid\":true,\"is_active\":true,"
                              "\"belongs_to\":{\"name\":\"Margaret Example\"},\"current_addresses\""
                              ":[{\"city\":\"Springfield\",\"state_code\":\"MA\"}]}")
                   .arg(digits);
    a.httpStatus = 200;
    const ResultRecord row = resultRow(a.typed, a.answer, 200);
    a.cells = row.cells;
    a.rowStatus = row.cells.value(5);
    return a;
}

} // namespace quillmore::bench
