#pragma once

#include "shell/keyring.h"

#include <QList>
#include <QObject>

#include <functional>

namespace QKeychain {
class Job;
}

namespace quillmore {

// The desktop's keyring: the Secret Service (GNOME Keyring, KWallet) on the
// session bus, through QtKeychain, never with its plain-text fallback.
//
// QtKeychain has no way to ask whether a keyring exists; failing to reach one
// it reports an ordinary error, just as a locked one does. So the session bus
// is asked first, once, whether anything there keeps secrets: without that,
// every operation answers NoKeyring.
class SecretServiceKeyring : public QObject, public Keyring
{
    Q_OBJECT
public:
    // The program's own entry: service "Quillmore", key "api-key".
    explicit SecretServiceKeyring(QObject* parent = nullptr);
    SecretServiceKeyring(const QString& service, const QString& key, QObject* parent = nullptr);

    void read(Reply reply) override;
    void write(const QString& value, Reply reply) override;
    void remove(Reply reply) override;

private:
    enum class Presence { Unknown, Asking, Present, Absent };

    void whenKnown(std::function<QKeychain::Job*()> makeJob, Reply reply);
    void askBus();
    void askActivatable();
    void settle(Presence presence);
    void run(QKeychain::Job* job, Reply reply);

    QString m_service;
    QString m_key;
    Presence m_presence = Presence::Unknown;
    struct Waiting
    {
        std::function<QKeychain::Job*()> makeJob;
        Reply reply;
    };
    QList<Waiting> m_waiting;
};

} // namespace quillmore
