#pragma once

#include "lookup/answer.h"
#include "shell/errorreport.h"
#include "shell/resultrecord.h"

#include <QList>
#include <QString>

namespace quillmore {

// What an answer means for the run that asked: a refusal of the service
// (quota, key, withdrawn API), which gives no row, or the number's row with
// the values that could not be read, in reading order, for the caller to
// report. The desktop's run and the command line's slots both take their
// answers through here.
struct TakenAnswer
{
    AnswerClass cls = AnswerClass::Answer;
    ResultRecord record; // only for AnswerClass::Answer
    QList<Failure> unread;
};

TakenAnswer takeAnswer(const QString& number, const QString& answer, int httpStatus);

} // namespace quillmore
