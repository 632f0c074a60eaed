#pragma once

#include "shell/keyring.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <optional>

namespace quillmore::test {

// A keyring in memory that answers from the event loop, as a real one does.
// Each operation may be given a scripted answer instead, by its call number;
// held operations wait for release().
class FakeKeyring : public QObject, public Keyring
{
public:
    std::optional<QString> entry;
    // "read", "write <value>", "remove", in call order.
    QStringList calls;
    // Answers taking the place of the n-th call's own (nothing is then stored).
    QMap<int, Answer> scripted;
    bool holding = false;
    int inFlight = 0;
    int mostInFlight = 0;

    void read(Reply reply) override
    {
        calls << QStringLiteral("read");
        answer(std::move(reply), [this] {
            return entry ? Answer{Status::Done, *entry, {}} : Answer{Status::NotFound, {}, {}};
        });
    }
    void write(const QString& value, Reply reply) override
    {
        calls << QStringLiteral("write ") + value;
        answer(std::move(reply), [this, value] {
            entry = value;
            return Answer{Status::Done, {}, {}};
        });
    }
    void remove(Reply reply) override
    {
        calls << QStringLiteral("remove");
        answer(std::move(reply), [this] {
            const bool had = entry.has_value();
            entry.reset();
            return Answer{had ? Status::Done : Status::NotFound, {}, {}};
        });
    }

    // Lets every held operation answer.
    void release()
    {
        holding = false;
        const auto held = std::exchange(m_held, {});
        for (const auto& go : held)
            QTimer::singleShot(0, this, go);
    }

private:
    void answer(Reply reply, std::function<Answer()> act)
    {
        const int call = int(calls.size()) - 1;
        mostInFlight = std::max(mostInFlight, ++inFlight);
        auto go = [this, call, reply = std::move(reply), act = std::move(act)] {
            --inFlight;
            reply(scripted.contains(call) ? scripted.value(call) : act());
        };
        if (holding)
            m_held << go;
        else
            QTimer::singleShot(0, this, go);
    }

    QList<std::function<void()>> m_held;
};

} // namespace quillmore::test
