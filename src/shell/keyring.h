#pragma once

#include <QString>

#include <functional>

namespace quillmore {

// A place apart from the settings file where one secret can be kept: the
// desktop's keyring. Every answer comes later, from the event loop, never
// from inside the call that asked.
class Keyring
{
public:
    enum class Status {
        Done,      // read, written or removed; a read carries the value
        NotFound,  // nothing is stored under the key
        NoKeyring, // no keyring answers on this desktop
        Failed,    // the keyring answered but refused: locked, denied, gone
    };
    struct Answer
    {
        Status status = Status::Failed;
        QString value;
        QString error; // what went wrong, in the keyring's own words
    };
    using Reply = std::function<void(const Answer&)>;

    virtual ~Keyring() = default;

    virtual void read(Reply reply) = 0;
    virtual void write(const QString& value, Reply reply) = 0;
    virtual void remove(Reply reply) = 0;
};

} // namespace quillmore
