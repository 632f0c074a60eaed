#include "keyring/secretservicekeyring.h"

#include <qt6keychain/keychain.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QTimer>

namespace quillmore {

namespace {

// What QtKeychain talks to on Linux: the Secret Service itself, or KWallet's
// own service where QtKeychain prefers it.
const QStringList kKeepers = {
    QStringLiteral("org.freedesktop.secrets"), QStringLiteral("org.kde.kwalletd6"),
    QStringLiteral("org.kde.kwalletd5"), QStringLiteral("org.kde.kwalletd")};

QDBusMessage busCall(const QString& method)
{
    return QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                          QStringLiteral("/org/freedesktop/DBus"),
                                          QStringLiteral("org.freedesktop.DBus"), method);
}

bool namesAKeeper(const QDBusPendingCallWatcher& watcher)
{
    const QDBusPendingReply<QStringList> reply = watcher;
    if (reply.isError())
        return false;
    const QStringList names = reply.value();
    for (const QString& keeper : kKeepers)
        if (names.contains(keeper))
            return true;
    return false;
}

Keyring::Answer answerOf(QKeychain::Job& job)
{
    Keyring::Answer answer;
    switch (job.error()) {
    case QKeychain::NoError:
        answer.status = Keyring::Status::Done;
        if (auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(&job))
            answer.value = read->textData();
        break;
    case QKeychain::EntryNotFound:
        answer.status = Keyring::Status::NotFound;
        break;
    case QKeychain::NoBackendAvailable:
        answer.status = Keyring::Status::NoKeyring;
        break;
    default:
        answer.status = Keyring::Status::Failed;
        answer.error = job.errorString();
        break;
    }
    return answer;
}

} // namespace

SecretServiceKeyring::SecretServiceKeyring(QObject* parent)
    : SecretServiceKeyring(QStringLiteral("Quillmore"), QStringLiteral("api-key"), parent)
{
}

SecretServiceKeyring::SecretServiceKeyring(const QString& service, const QString& key,
                                           QObject* parent)
    : QObject(parent), m_service(service), m_key(key)
{
}

void SecretServiceKeyring::read(Reply reply)
{
    whenKnown([this] { return new QKeychain::ReadPasswordJob(m_service, this); }, std::move(reply));
}

void SecretServiceKeyring::write(const QString& value, Reply reply)
{
    whenKnown(
        [this, value] {
            auto* job = new QKeychain::WritePasswordJob(m_service, this);
            job->setTextData(value);
            return job;
        },
        std::move(reply));
}

void SecretServiceKeyring::remove(Reply reply)
{
    whenKnown([this] { return new QKeychain::DeletePasswordJob(m_service, this); },
              std::move(reply));
}

void SecretServiceKeyring::whenKnown(std::function<QKeychain::Job*()> makeJob, Reply reply)
{
    switch (m_presence) {
    case Presence::Present:
        run(makeJob(), std::move(reply));
        return;
    case Presence::Absent:
        QTimer::singleShot(0, this, [reply = std::move(reply)] {
            reply({Keyring::Status::NoKeyring, {}, {}});
        });
        return;
    case Presence::Unknown:
        m_waiting.append({std::move(makeJob), std::move(reply)});
        m_presence = Presence::Asking;
        askBus();
        return;
    case Presence::Asking:
        m_waiting.append({std::move(makeJob), std::move(reply)});
        return;
    }
}

void SecretServiceKeyring::askBus()
{
    // Connecting is quick either way: the bus is a local socket or nothing.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        QTimer::singleShot(0, this, [this] { settle(Presence::Absent); });
        return;
    }
    auto* watcher =
        new QDBusPendingCallWatcher(bus.asyncCall(busCall(QStringLiteral("ListNames"))), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        if (namesAKeeper(*w))
            settle(Presence::Present);
        else
            askActivatable();
    });
}

void SecretServiceKeyring::askActivatable()
{
    // Not running yet, but the bus starts it when it is first asked.
    QDBusConnection bus = QDBusConnection::sessionBus();
    auto* watcher = new QDBusPendingCallWatcher(
        bus.asyncCall(busCall(QStringLiteral("ListActivatableNames"))), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        settle(namesAKeeper(*w) ? Presence::Present : Presence::Absent);
    });
}

void SecretServiceKeyring::settle(Presence presence)
{
    m_presence = presence;
    const QList<Waiting> waiting = std::exchange(m_waiting, {});
    for (const Waiting& w : waiting)
        whenKnown(w.makeJob, w.reply);
}

void SecretServiceKeyring::run(QKeychain::Job* job, Reply reply)
{
    job->setKey(m_key);
    // A keyring that fails must never turn into a plain file behind the user's back.
    job->setInsecureFallback(false);
    job->setAutoDelete(true);
    connect(job, &QKeychain::Job::finished, this,
            [reply = std::move(reply)](QKeychain::Job* done) { reply(answerOf(*done)); });
    job->start();
}

} // namespace quillmore
