#include "cli/runhistory.h"

#include "history/journalimport.h"
#include "lookup/answer.h"
#include "lookup/resultrow.h"
#include "numbers/phonenumbers.h"
#include "shell/errorreport.h"
#include "shell/fileutil.h"

#include <QDir>
#include <QFileInfo>

namespace quillmore::cli {

namespace {

constexpr int kStatusColumn = 5;

} // namespace

RunHistory::RunHistory(const PhoneNumbers& phone, const QString& folder)
    : m_phone(phone), m_store(folder)
{
}

RunHistory::~RunHistory() = default;

void RunHistory::tell(const QString& text)
{
    if (std::exchange(m_told, true))
        return;
    if (told)
        told(text);
}

template <typename Work> auto RunHistory::guarded(Work work) -> decltype(work())
{
    try {
        return work();
    } catch (const Failure& failure) {
        tell(failure.description());
        return decltype(work())();
    }
}

bool RunHistory::open(int keepDays)
{
    try {
        m_store.open(keepDays);
    } catch (const Failure& failure) {
        tell(failure.description());
        return false;
    }
    // The journals lie beside the history, in the same data folder.
    guarded([&] {
        importJournals(m_store, QFileInfo(m_store.fileName()).absolutePath(), m_phone);
        return 0;
    });
    return m_store.canRead();
}

QList<RunAnswer> RunHistory::unfinishedAnswers()
{
    return guarded([&] { return m_store.unfinishedAnswers(kCliProgram); });
}

qint64 RunHistory::startRun(const QString& runKey)
{
    return guarded([&] { return m_store.startSession(kCliProgram, runKey); });
}

QString RunHistory::keyOf(const QString& typed) const
{
    const NumberClass cls = m_phone.classify(typed);
    return cls.verdict == NumberClass::Verdict::Valid ? cls.e164 : digitsOnly(typed);
}

StoredAnswer RunHistory::attempt(qint64 run, const QString& typed) const
{
    StoredAnswer a;
    a.session = run;
    a.program = kCliProgram;
    a.received = QDateTime::currentDateTimeUtc();
    a.typed = typed;
    a.sent = digitsOnly(typed);
    const NumberClass cls = m_phone.classify(typed);
    if (cls.verdict == NumberClass::Verdict::Valid)
        a.e164 = cls.e164;
    return a;
}

qint64 RunHistory::keep(qint64 run, const QString& typed, const ResultRecord& record,
                        int httpStatus)
{
    StoredAnswer a = attempt(run, typed);
    a.answer = record.answer;
    a.httpStatus = httpStatus;
    a.cells = record.cells;
    // Named by its Status cell, as the journals of earlier versions are when
    // they are taken in, so a resume reads both alike.
    a.rowStatus = record.cells.value(kStatusColumn);
    a.failure = !record.isAnswer();
    return guarded([&] { return m_store.store(a); });
}

qint64 RunHistory::keepRefusal(qint64 run, const QString& typed, const QString& answerText,
                               int httpStatus)
{
    StoredAnswer a = attempt(run, typed);
    a.answer = answerText;
    a.httpStatus = httpStatus;
    // The row --history shows for it: the number and what the service said.
    a.cells = resultRow(typed, answerText, httpStatus).cells;
    a.rowStatus = a.cells.value(kStatusColumn);
    return guarded([&] { return m_store.storeRefusal(a); });
}

void RunHistory::adopt(qint64 run, const QList<qint64>& answerIds)
{
    if (run <= 0 || answerIds.isEmpty())
        return;
    guarded([&] {
        m_store.adopt(run, answerIds);
        return 0;
    });
}

QHash<QString, ReusableAnswer> RunHistory::reusable(const QStringList& keys, int days)
{
    return guarded([&] { return m_store.reusable(keys, days); });
}

QList<StoredAnswer> RunHistory::answers(const QList<qint64>& ids)
{
    return guarded([&] { return m_store.answers(ids); });
}

void RunHistory::endRuns(const QList<qint64>& runs)
{
    for (const qint64 run : runs)
        if (run > 0)
            guarded([&] {
                m_store.endSession(run);
                return 0;
            });
}

void RunHistory::sync()
{
    m_store.sync();
}

ResultRecord rowFromHistory(const StoredAnswer& answer, const QString& typed)
{
    if (answer.httpStatus == 0 && answer.answer != kCouldNotConnect) {
        ResultRecord record(typed, answer.cells, answer.answer);
        return record;
    }
    // The cells kept are those the answer was read into when it came, and
    // reading it again would give the same ones at a cost a long reuse feels;
    // only a row without an answer names the number, as this input spells it.
    if (answer.cells.size() == kResultCaptions.size()) {
        ResultRecord record(typed, answer.cells, answer.answer);
        if (!record.isAnswer())
            record.cells[0] = typed;
        return record;
    }
    return resultRow(typed, answer.answer, answer.httpStatus);
}

} // namespace quillmore::cli
