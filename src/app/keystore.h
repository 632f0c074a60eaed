#pragma once

#include <QObject>
#include <QString>

namespace quillmore {

class SettingsStore;

// The API key: the key window edits it, every request reads it afresh. Each
// change is written through to the settings store at once, so the key that a
// test or a run uses is always the stored one.
class KeyStore : public QObject
{
    Q_OBJECT
public:
    // Reads the stored key; without a store the key lives in memory only.
    explicit KeyStore(SettingsStore* settings, QObject* parent = nullptr);

    QString key() const { return m_key; }

    // Keeps the key and stores it. Throws Failure when it could not be
    // stored; the key is kept for this session all the same.
    void setKey(const QString& key);

signals:
    void keyChanged(const QString& key);

private:
    SettingsStore* m_settings;
    QString m_key;
};

} // namespace quillmore
