#include "shell/keystore.h"

#include "shell/dialogs.h"
#include "shell/errorreport.h"
#include "shell/settingsstore.h"

#include <QPointer>

namespace quillmore {

namespace {

QString reasonOf(const Keyring::Answer& answer)
{
    switch (answer.status) {
    case Keyring::Status::NoKeyring:
        return QStringLiteral("no keyring answers");
    case Keyring::Status::NotFound:
        return QStringLiteral("the keyring lost the key");
    default:
        return answer.error.isEmpty() ? QStringLiteral("the keyring refused") : answer.error;
    }
}

} // namespace

KeyStore::KeyStore(SettingsStore* settings, QObject* parent)
    : KeyStore(settings, nullptr, nullptr, parent)
{
}

KeyStore::KeyStore(SettingsStore* settings, Keyring* keyring, Dialogs* dialogs, QObject* parent)
    : QObject(parent), m_settings(settings), m_keyring(keyring), m_dialogs(dialogs),
      m_key(settings ? settings->readSetting(kApiKeyKey, QString()) : QString())
{
    m_finishingTimer.setSingleShot(true);
    connect(&m_finishingTimer, &QTimer::timeout, this, &KeyStore::giveUp);
    if (!m_keyring) {
        m_place = m_settings ? Place::SettingsFile : Place::Memory;
        return;
    }
    // Until the keyring answers, the key read from the settings file serves.
    m_place = Place::Deciding;
    m_keyring->read(guarded(&KeyStore::startingRead));
}

Keyring::Reply KeyStore::guarded(Handler handler)
{
    // A keyring may answer after the store is gone (the program ending).
    QPointer<KeyStore> self(this);
    return [self, handler](const Keyring::Answer& answer) {
        if (self)
            (self.data()->*handler)(answer);
    };
}

bool KeyStore::isIdle() const
{
    return m_place != Place::Deciding && !m_writing && !m_waiting;
}

void KeyStore::setKey(const QString& key)
{
    const bool changed = key != m_key;
    m_key = key;
    if (changed)
        emit keyChanged(m_key);
    switch (m_place) {
    case Place::SettingsFile:
        if (m_settings)
            m_settings->writeSetting(kApiKeyKey, m_key);
        break;
    case Place::Deciding:
        m_changedWhileDeciding = m_changedWhileDeciding || changed;
        break;
    case Place::Keyring:
        // The key window stores the key it was given back at every load: only
        // a real change may cost a keyring write (and perhaps a prompt).
        if (changed) {
            m_waiting = m_key;
            writeNext();
        }
        break;
    case Place::Memory:
        break;
    }
}

void KeyStore::startingRead(const Keyring::Answer& answer)
{
    const QString inFile = m_settings ? m_settings->readSetting(kApiKeyKey, QString()) : QString();
    const bool fileHoldsKey = !inFile.isEmpty();
    switch (answer.status) {
    case Keyring::Status::NoKeyring:
        decide(m_settings ? Place::SettingsFile : Place::Memory);
        return;
    case Keyring::Status::Failed:
        if (fileHoldsKey) {
            stayInSettingsFile(reasonOf(answer));
        } else {
            // Perhaps locked and the unlock cancelled: the next change tries
            // again, and a refusal then asks the user.
            emit notice(QStringLiteral("The API key could not be read from the keyring: ") +
                        reasonOf(answer));
            decide(Place::Keyring);
        }
        return;
    case Keyring::Status::Done:
    case Keyring::Status::NotFound:
        m_inKeyring = answer.status == Keyring::Status::Done ? answer.value : QString();
        break;
    }
    if (fileHoldsKey) {
        // The file's key is the newest: it is only ever written while the
        // keyring is not in use.
        m_moving = inFile;
        m_keyring->write(m_moving, guarded(&KeyStore::movedWritten));
        return;
    }
    if (!m_changedWhileDeciding && m_key != *m_inKeyring) {
        m_key = *m_inKeyring;
        emit keyChanged(m_key);
    }
    decide(Place::Keyring);
}

void KeyStore::movedWritten(const Keyring::Answer& answer)
{
    if (answer.status != Keyring::Status::Done) {
        stayInSettingsFile(reasonOf(answer));
        return;
    }
    m_inKeyring.reset(); // written, but what it holds is only known from the read back
    m_keyring->read(guarded(&KeyStore::movedReadBack));
}

void KeyStore::movedReadBack(const Keyring::Answer& answer)
{
    if (answer.status != Keyring::Status::Done) {
        stayInSettingsFile(reasonOf(answer));
        return;
    }
    if (answer.value != m_moving) {
        stayInSettingsFile(QStringLiteral("the keyring gave back a different key"));
        return;
    }
    m_inKeyring = answer.value;
    try {
        m_settings->removeSetting(kApiKeyKey);
    } catch (const Failure& failure) {
        stayInSettingsFile(failure.description());
        return;
    }
    decide(Place::Keyring);
}

void KeyStore::stayInSettingsFile(const QString& reason)
{
    emit notice(QStringLiteral("The API key stays in the settings file: ") + reason);
    decide(Place::SettingsFile);
}

void KeyStore::decide(Place place)
{
    m_place = place;
    if (m_changedWhileDeciding) {
        // What was typed while the keyring was asked is the newest key.
        m_changedWhileDeciding = false;
        if (place == Place::Keyring) {
            m_waiting = m_key;
        } else if (place == Place::SettingsFile) {
            try {
                m_settings->writeSetting(kApiKeyKey, m_key);
            } catch (const Failure& failure) {
                emit notice(QStringLiteral("The API key could not be stored in the settings "
                                           "file: ") +
                            failure.description());
            }
        }
    }
    writeNext();
    finishIfIdle();
}

void KeyStore::writeNext()
{
    if (m_place != Place::Keyring || m_writing || !m_waiting)
        return;
    const QString value = *m_waiting;
    m_waiting.reset();
    if (m_inKeyring == value) {
        finishIfIdle();
        return;
    }
    m_writing = value;
    // No key is no entry: an emptied key box leaves nothing behind.
    if (value.isEmpty())
        m_keyring->remove(guarded(&KeyStore::keyringWritten));
    else
        m_keyring->write(value, guarded(&KeyStore::keyringWritten));
}

void KeyStore::keyringWritten(const Keyring::Answer& answer)
{
    const QString written = m_writing.value_or(QString());
    m_writing.reset();
    const bool removedNothing = answer.status == Keyring::Status::NotFound && written.isEmpty();
    if (answer.status != Keyring::Status::Done && !removedNothing) {
        refused(reasonOf(answer));
        return;
    }
    m_inKeyring = written;
    writeNext();
    finishIfIdle();
}

void KeyStore::refused(const QString& reason)
{
    // No prompt at every change: the keyring is left alone for the session.
    m_place = Place::Memory;
    m_waiting.reset();
    emit notice(QStringLiteral("The API key could not be stored in the keyring: ") + reason);
    if (m_settings && m_dialogs && !m_finishing)
        QMetaObject::invokeMethod(this, &KeyStore::offerSettingsFile, Qt::QueuedConnection);
    finishIfIdle();
}

void KeyStore::offerSettingsFile()
{
    // An ending program asks nothing: no box may hold up a logout.
    if (m_finishing || m_place != Place::Memory)
        return;
    if (!m_dialogs->ask(QStringLiteral("Keep the API key in the settings file instead?")))
        return;
    m_place = Place::SettingsFile;
    try {
        m_settings->writeSetting(kApiKeyKey, m_key);
    } catch (const Failure& failure) {
        emit notice(QStringLiteral("The API key could not be stored in the settings file: ") +
                    failure.description());
    }
}

void KeyStore::finish()
{
    if (m_finishing)
        return;
    m_finishing = true;
    if (!isIdle())
        m_finishingTimer.start(m_finishingWait);
    finishIfIdle();
}

void KeyStore::finishIfIdle()
{
    if (!m_finishing || m_finished || !isIdle())
        return;
    m_finished = true;
    m_finishingTimer.stop();
    emit finished();
}

void KeyStore::giveUp()
{
    if (m_finished)
        return;
    const bool unsure = m_writing || m_waiting || m_changedWhileDeciding;
    if (unsure)
        emit notice(QStringLiteral("The keyring did not answer before the end: the last change "
                                   "of the API key may not be stored"));
    m_finished = true;
    emit finished();
}

} // namespace quillmore
