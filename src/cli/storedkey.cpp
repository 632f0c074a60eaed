#include "cli/storedkey.h"

#include "shell/errorreport.h"
#include "shell/keyring.h"
#include "shell/keystore.h"
#include "shell/settingsstore.h"

namespace quillmore::cli {

QString settingsFileKey()
{
    try {
        SettingsStore settings;
        return KeyStore(&settings).key();
    } catch (const Failure&) {
        return {};
    }
}

StoredKeyRead::StoredKeyRead(std::unique_ptr<Keyring> keyring, std::chrono::milliseconds wait,
                             QObject* parent)
    : QObject(parent), m_keyring(std::move(keyring))
{
    m_wait.setSingleShot(true);
    m_wait.setInterval(wait);
    connect(&m_wait, &QTimer::timeout, this, [this] { finish({}); });
}

StoredKeyRead::~StoredKeyRead()
{
    *m_alive = false;
}

void StoredKeyRead::start(std::function<void(const QString& key)> done)
{
    m_done = std::move(done);
    if (!m_keyring) {
        finish({});
        return;
    }
    m_wait.start();
    // A late answer, after the wait or after this object is gone, does nothing.
    std::weak_ptr<bool> alive = m_alive;
    m_keyring->read([this, alive](const Keyring::Answer& answer) {
        if (alive.expired() || !m_done)
            return;
        finish(answer.status == Keyring::Status::Done ? answer.value : QString());
    });
}

void StoredKeyRead::finish(const QString& fromKeyring)
{
    m_wait.stop();
    if (!m_done)
        return;
    auto done = std::exchange(m_done, nullptr);
    done(fromKeyring.isEmpty() ? settingsFileKey() : fromKeyring);
}

} // namespace quillmore::cli
