#include "lookup/runreporting.h"

#include "lookup/answer.h"
#include "shell/dialogs.h"
#include "shell/errorreport.h"

namespace quillmore {

void showRunReports(LookupRun& run, Dialogs& dialogs, const QString& handler)
{
    QObject::connect(&run, &LookupRun::failed, &run,
                     [&dialogs, handler](const Failure& failure, Step step) {
                         reportFailure(dialogs, handler, step, failure);
                     });
    QObject::connect(&run, &LookupRun::serviceRefused, &run,
                     [&dialogs](AnswerClass cls) { dialogs.message(answerClassMessage(cls)); });
    QObject::connect(&run, &LookupRun::finished, &run, [&dialogs](LookupRun::Outcome outcome) {
        // A refusal has had its message; a run cut off by the closing window gets none.
        if (outcome == LookupRun::Outcome::Completed || outcome == LookupRun::Outcome::Stopped)
            dialogs.message(QStringLiteral("Done."));
    });
}

void showKeyTestReports(KeyTest& test, Dialogs& dialogs, const QString& handler)
{
    QObject::connect(&test, &KeyTest::failed, &test,
                     [&dialogs, handler](const Failure& failure, Step step) {
                         reportFailure(dialogs, handler, step, failure);
                     });
    QObject::connect(&test, &KeyTest::answered, &test,
                     [&dialogs](const QString& answer, int httpStatus) {
                         dialogs.message(keyTestMessage(answer, httpStatus));
                     });
}

} // namespace quillmore
