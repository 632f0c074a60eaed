#include "cli/clirun.h"

#include "cli/curlpool.h"
#include "cli/pooledrequest.h"
#include "cli/ratelimit.h"
#include "lookup/answer.h"
#include "lookup/takeanswer.h"
#include "shell/dialogs.h"
#include "shell/errorreport.h"
#include "shell/resultrecord.h"

#include <QDateTime>
#include <QRandomGenerator>

namespace quillmore::cli {

CliRun::CliRun(Dialogs& dialogs, const LookupConfig& config, Settings settings,
               const QStringList& numbers, std::deque<qsizetype> pending, QObject* parent)
    : QObject(parent), m_dialogs(dialogs), m_config(config), m_settings(std::move(settings)),
      m_numbers(numbers), m_pending(std::move(pending)), m_pacer(m_settings.rate)
{
    m_hold.setSingleShot(true);
    connect(&m_hold, &QTimer::timeout, this, &CliRun::fill);
    m_paced.setSingleShot(true);
    // The rate is counted in whole requests a second: never early.
    m_paced.setTimerType(Qt::PreciseTimer);
    connect(&m_paced, &QTimer::timeout, this, &CliRun::fill);
}

CliRun::~CliRun()
{
    for (auto& slot : m_slots)
        slot->request->end();
}

void CliRun::addSlot(std::unique_ptr<LookupRequest> request)
{
    auto slot = std::make_unique<Slot>();
    Slot* s = slot.get();
    s->request = std::move(request);
    s->pause.setSingleShot(true);
    connect(&s->pause, &QTimer::timeout, this, &CliRun::fill);
    connect(s->request.get(), &LookupRequest::failed, this, [s](const Failure&, Step step) {
        if (step == Step::RequestRead)
            s->unreadable = true;
    });
    connect(s->request.get(), &LookupRequest::answered, this,
            [this, s](const QString& text, int httpStatus) {
                // An answer that cannot be read is no answer: the number's
                // row says so, and a resumed run asks again.
                const bool unreadable = std::exchange(s->unreadable, false);
                answered(*s, {unreadable ? kCouldNotConnect : text, httpStatus,
                              parseHeaders(s->request->headers()).retryAfter});
            });
    m_slots.push_back(std::move(slot));
}

void CliRun::start()
{
    if (!makeRequest) {
        const QByteArray bundle = m_config.bundleBytes ? m_config.bundleBytes() : QByteArray();
        if (bundle.isEmpty())
            throw Failure(QStringLiteral("The certificate bundle is missing."));
        m_pool = std::make_unique<CurlPool>(bundle);
    }
    for (int i = 0; i < m_settings.parallel; ++i)
        addSlot(makeRequest ? makeRequest(i) : std::make_unique<PooledRequest>(*m_pool, m_config));
    m_clock.start();
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
        if (!mayStartNow())
            break;
        slot->index = m_pending.front();
        m_pending.pop_front();
        slot->request->start(m_numbers.at(slot->index), m_settings.apiKey);
    }
    endIfIdle();
}

bool CliRun::mayStartNow()
{
    if (m_paced.isActive())
        return false;
    const std::chrono::milliseconds now(m_clock.elapsed());
    const std::chrono::milliseconds wait = m_pacer.wait(now);
    if (wait.count() > 0) {
        m_paced.start(wait);
        return false;
    }
    m_pacer.sent(now);
    return true;
}

void CliRun::answered(Slot& slot, const CliAnswer& answer)
{
    const qsizetype index = slot.index;
    slot.index = -1;
    if (answer.httpStatus != 0)
        m_unreachableInRow = 0;
    if (answer.httpStatus == kTooManyRequests) {
        if (attemptFailed)
            attemptFailed(index, answer.text, answer.httpStatus);
        slot.index = index;
        tooManyRequests(slot, answer);
        endIfIdle();
        return;
    }
    m_refusalsInRow = 0;
    const QString& number = m_numbers.at(index);
    const TakenAnswer taken = takeAnswer(number, answer.text, answer.httpStatus);
    if (taken.cls != AnswerClass::Answer) {
        // Not a row: a resumed run asks for this number again. The rows
        // already gathered, and those still coming, stay.
        if (attemptFailed)
            attemptFailed(index, answer.text, answer.httpStatus);
        if (!m_refused)
            m_dialogs.message(answerClassMessage(taken.cls));
        m_refused = true;
        stopNew();
        endIfIdle();
        return;
    }
    // A value that cannot be read leaves its cell empty, and says so as the desktop does.
    for (const Failure& failure : taken.unread)
        reportFailure(m_dialogs, {}, Step::ValueRead, failure);
    if (rowReady)
        rowReady(index, taken.record, answer.httpStatus);
    countUnreachable(answer);
    if (!m_stopping && !m_pending.empty())
        slot.pause.start(drawPause());
    if (!slot.pause.isActive())
        fill();
    else
        endIfIdle();
}

void CliRun::countUnreachable(const CliAnswer& answer)
{
    // Only a number that never reached the service counts; any answer,
    // even an error page, shows that the service is there.
    if (answer.httpStatus != 0 || answer.text != kCouldNotConnect) {
        m_unreachableInRow = 0;
        return;
    }
    ++m_unreachableInRow;
    if (m_settings.maxFailures <= 0 || m_unreachableInRow < m_settings.maxFailures || m_unreachable)
        return;
    m_unreachable = true;
    if (notice)
        notice(QStringLiteral("The service looks unreachable: %1 numbers in a row could not "
                              "connect; no new request is sent.")
                   .arg(m_unreachableInRow));
    stopNew();
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
    m_paced.stop();
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
    bool waiting = m_hold.isActive() || m_paced.isActive();
    for (auto& slot : m_slots)
        waiting = waiting || slot->pause.isActive();
    if (!m_stopping && (!m_pending.empty() || waiting))
        return;
    m_ended = true;
    emit finished();
}

} // namespace quillmore::cli
