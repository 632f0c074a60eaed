#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

namespace quillmore {
class Keyring;
}

namespace quillmore::cli {

// The key the desktop program stored: in the keyring when one answers (it
// moves it there), else in its settings file. Only read: the command line
// never moves or writes the key. The keyring answers on the event loop; one
// that has not answered within the wait counts as none. `done` is called
// once, with the key or an empty text.
class StoredKeyRead : public QObject
{
    Q_OBJECT
public:
    explicit StoredKeyRead(std::unique_ptr<Keyring> keyring,
                           std::chrono::milliseconds wait = std::chrono::seconds(20),
                           QObject* parent = nullptr);
    ~StoredKeyRead() override;

    void start(std::function<void(const QString& key)> done);

private:
    void finish(const QString& fromKeyring);

    std::unique_ptr<Keyring> m_keyring;
    QTimer m_wait;
    std::function<void(const QString&)> m_done;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

// The key in the desktop program's settings file; empty when there is none
// or the file cannot be read.
QString settingsFileKey();

} // namespace quillmore::cli
