#include "keystore.h"

#include "settingsstore.h"

namespace quillmore {

KeyStore::KeyStore(SettingsStore* settings, QObject* parent)
    : QObject(parent), m_settings(settings),
      m_key(settings ? settings->readSetting(kApiKeyKey, QString()) : QString())
{
}

void KeyStore::setKey(const QString& key)
{
    const bool changed = key != m_key;
    m_key = key;
    if (changed)
        emit keyChanged(m_key);
    if (m_settings)
        m_settings->writeSetting(kApiKeyKey, m_key);
}

} // namespace quillmore
