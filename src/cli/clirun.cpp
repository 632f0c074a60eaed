#include "cli/clirun.h"

#include "cli/ratelimit.h"
#include "lookup/answer.h"
#include "lookup/resultrow.h"
#include "shell/dialogs.h"
#include "shell/errorreport.h"
#include "shell/resultrecord.h"

#include <QDateTime>
#include <QRandomGenerator>

namespace quillmore::cli {

CliRun::CliRun(Dialogs& dialogs, const LookupConfig& config, Settings settings,
               const QStringList& numbers, std::deque<qsizetype> pending, QObject* parent)
    : QObject(parent), m_dialogs(dialogs), m_config(config), m_settings(std::move(settings)),
      m_numbers(numbers), m_pending(std::move(pending))
{
    m_hold.setSingleShot(true);
    connect(&m_hold, &QTimer::timeout, this, &CliRun::fill);
    for (int i = 0; i < m_settings.parallel; ++i) {
        auto slot = std::make_unique<Slot>();
        Slot* s = slot.get();
        s->request = std::make_unique<CurlRequest>(m_stage, m_config);
        s->request->setFileNames(QStringLiteral("answer-%1.txt").arg(i),
                                 QStringLiteral("headers-%1.txt").arg(i));
        s->pause.setSingleShot(true);
        connect(&s->pause, &QTimer::timeout, this, &CliRun::fill);
        connect(s->request.get(), &CurlRequest::failed, this, [s](const Failure&, Step step) {
            if (step == Step::RequestRead)
                s->unreadable = true;
        });
        connect(s->request.get(), &CurlRequest::answered, this,
                [this, s](const QString& text, int httpStatus) {
                    // An answer file that cannot be read is no answer: the
                    // number's row says so, and a resumed run asks again.
                    const bool unreadable = std::exchange(s->unreadable, false);
                    answered(*s, {unreadable ? kCouldNotConnect : text, httpStatus,
                                  parseHeaders(s->request->headers()).retryAfter});
                });
        m_slots.push_back(std::move(slot));
    }
}

CliRun::~CliRun()
{
    for (auto& slot : m_slots)
        slot->request->end();
    m_stage.remove();
}

void CliRun::start()
{
    m_stage.stage(m_config);
    if (m_pending.empty()) {
        // Nothing to ask: the end comes from the event loop like any other.
        QTimer::singleShot(0, this, &CliRun::endIfIdle);
        return;
    }
    fill();
}

qsizetype CliRun::inFlight() const
{
    qsizetype n = 0;
    for (const auto& slot : m_slots)
        n += slot->request->isBusy() ? 1 : 0;
    return n;
}

std::chrono::milliseconds CliRun::drawPause() const
{
    const double seconds = m_settings.pauseMin + QRandomGenerator::global()->generateDouble() *
                                                     (m_settings.pauseMax - m_settings.pauseMin);
    return m_config.pause(std::chrono::milliseconds(qint64(seconds * 1000.0)));
}

void CliRun::fill()
{
    if (m_stopping || m_hold.isActive()) {
        endIfIdle();
        return;
    }
    for (auto& slot : m_slots) {
        if (m_pending.empty())
            break;
        if (slot->request->isBusy() || slot->pause.isActive())
            continue;
        slot->index = m_pending.front();
        m_pending.pop_front();
        slot->request->start(m_numbers.at(slot->index), m_settings.apiKey);
    }
    endIfIdle();
}

void CliRun::answered(Slot& slot, const CliAnswer& answer)
{
    const qsizetype index = slot.index;
    slot.index = -1;
    if (answer.httpStatus == kTooManyRequests) {
        slot.index = index;
        tooManyRequests(slot, answer);
        endIfIdle();
        return;
    }
    m_refusalsInRow = 0;
    const AnswerClass cls = classifyAnswer(answer.text);
    if (cls != AnswerClass::Answer) {
        // Not a row: a resumed run asks for this number again. The rows
        // already gathered, and those still coming, stay.
        if (!m_refused)
            m_dialogs.message(answerClassMessage(cls));
        m_refused = true;
        stopNew();
        endIfIdle();
        return;
    }
    const QString& number = m_numbers.at(index);
    QList<Failure> unread;
    const ResultRecord record = resultRow(number, answer.text, answer.httpStatus, &unread);
    // A value that cannot be read leaves its cell empty, and says so as the desktop does.
    for (const Failure& failure : unread)
        reportFailure(m_dialogs, {}, Step::ValueRead, failure);
    if (rowReady)
        rowReady(index, record, answer.httpStatus);
    if (!m_stopping && !m_pending.empty())
        slot.pause.start(drawPause());
    if (!slot.pause.isActive())
        fill();
    else
        endIfIdle();
}

void CliRun::tooManyRequests(Slot& slot, const CliAnswer& answer)
{
    ++m_refusalsInRow;
    const QString& number = m_numbers.at(slot.index);
    // The same number goes first again, whichever slot takes it.
    m_pending.push_front(slot.index);
    slot.index = -1;
    if (m_refusalsInRow >= kMaxRefusals) {
        if (!m_refused && notice)
            notice(QStringLiteral("The service refused %1 requests in a row as too many "
                                  "(HTTP 429); the run stops.")
                       .arg(kMaxRefusals));
        m_refused = true;
        stopNew();
        return;
    }
    const std::optional<std::chrono::milliseconds> asked =
        retryAfterDelay(answer.retryAfter, QDateTime::currentDateTimeUtc());
    const std::chrono::milliseconds wait =
        asked
            ? *asked
            : backoffDelay(m_refusalsInRow, 0.5 + QRandomGenerator::global()->generateDouble() / 2);
    if (notice)
        notice(QStringLiteral("The service asks for fewer requests (HTTP 429): waiting %1 s "
                              "before asking for %2 again.")
                   .arg(double(wait.count()) / 1000.0, 0, 'f', 1)
                   .arg(number));
    // A later refusal's wait replaces an earlier one only when it is longer.
    const auto left = std::chrono::milliseconds(m_hold.isActive() ? m_hold.remainingTime() : 0);
    if (wait >= left)
        m_hold.start(m_config.pause(wait));
}

void CliRun::stopNew()
{
    m_stopping = true;
    m_hold.stop();
    for (auto& slot : m_slots)
        slot->pause.stop();
}

void CliRun::interrupt()
{
    m_interrupted = true;
    stopNew();
    endIfIdle();
}

void CliRun::abort()
{
    m_interrupted = true;
    stopNew();
    for (auto& slot : m_slots)
        slot->request->end();
    endIfIdle();
}

void CliRun::endIfIdle()
{
    if (m_ended || inFlight() > 0)
        return;
    bool waiting = m_hold.isActive();
    for (auto& slot : m_slots)
        waiting = waiting || slot->pause.isActive();
    if (!m_stopping && (!m_pending.empty() || waiting))
        return;
    m_ended = true;
    m_stage.remove();
    emit finished();
}

} // namespace quillmore::cli
