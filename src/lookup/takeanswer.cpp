#include "lookup/takeanswer.h"

#include "lookup/resultrow.h"

namespace quillmore {

TakenAnswer takeAnswer(const QString& number, const QString& answer, int httpStatus)
{
    TakenAnswer taken;
    taken.cls = classifyAnswer(answer);
    // A refusal's body holds none of the values: reading them would only
    // report failures for a row that is never shown.
    if (taken.cls != AnswerClass::Answer)
        return taken;
    taken.record = resultRow(number, answer, httpStatus, &taken.unread);
    // Kept with every row, so the history can say what each answer came with.
    taken.record.httpStatus = httpStatus;
    return taken;
}

} // namespace quillmore
