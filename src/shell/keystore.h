#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <optional>

#include "shell/keyring.h"

namespace quillmore {

class Dialogs;
class SettingsStore;

// The API key: the key window edits it, every request reads it afresh.
//
// Without a keyring each change is written through to the settings store at
// once. With one, the key lives in the keyring whenever a keyring answers: a
// key found in the settings file at start is moved there (written, read back,
// compared, and only then removed from the file), and changes are written to
// the keyring one at a time, the newest value replacing any still waiting. A
// keyring that refuses leaves the key in memory for the session; it goes to
// the settings file only when the user agrees.
class KeyStore : public QObject
{
    Q_OBJECT
public:
    enum class Place {
        Deciding,     // the keyring has not answered yet
        Keyring,      //
        SettingsFile, // as without a keyring
        Memory,       // this session only
    };

    // Reads the stored key; without a store the key lives in memory only.
    explicit KeyStore(SettingsStore* settings, QObject* parent = nullptr);
    // Asks the keyring at once; `dialogs` asks the user when the keyring refuses.
    KeyStore(SettingsStore* settings, Keyring* keyring, Dialogs* dialogs,
             QObject* parent = nullptr);

    QString key() const { return m_key; }

    // Keeps the key and stores it. Throws Failure when it could not be
    // stored in the settings file; the key is kept for this session all the
    // same. Keyring writes report through notice().
    void setKey(const QString& key);

    Place place() const { return m_place; }
    // Nothing waits to be decided or written.
    bool isIdle() const;

    // The program ends: stores what still waits, then emits finished(), at
    // the latest after the finishing wait.
    void finish();
    void setFinishingWait(std::chrono::milliseconds wait) { m_finishingWait = wait; }

signals:
    void keyChanged(const QString& key);
    // Something the user should read once: where the key stays, and why.
    void notice(const QString& text);
    void finished();

private:
    using Handler = void (KeyStore::*)(const Keyring::Answer&);
    Keyring::Reply guarded(Handler handler);

    void startingRead(const Keyring::Answer& answer);
    void movedWritten(const Keyring::Answer& answer);
    void movedReadBack(const Keyring::Answer& answer);
    void stayInSettingsFile(const QString& reason);
    void decide(Place place);

    void writeNext();
    void keyringWritten(const Keyring::Answer& answer);
    void refused(const QString& reason);
    void offerSettingsFile();

    void finishIfIdle();
    void giveUp();

    SettingsStore* m_settings;
    Keyring* m_keyring = nullptr;
    Dialogs* m_dialogs = nullptr;
    Place m_place = Place::Memory;
    QString m_key;

    // The user changed the key before the keyring's first answer.
    bool m_changedWhileDeciding = false;
    QString m_moving;
    // What the keyring holds, once known; the empty key is no entry.
    std::optional<QString> m_inKeyring;
    std::optional<QString> m_waiting;
    std::optional<QString> m_writing;

    bool m_finishing = false;
    bool m_finished = false;
    std::chrono::milliseconds m_finishingWait = std::chrono::seconds(10);
    QTimer m_finishingTimer;
};

} // namespace quillmore
