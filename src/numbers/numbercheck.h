#pragma once

#include "numbers/phonenumbers.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>

namespace quillmore {

// One classification of a copy of the number list. The library takes some
// tens of microseconds a number, so a full list would hold the window for
// about a second: the entries are taken a slice at a time, one slice per
// pass of the event loop, and the window answers in between.
class NumberCheck : public QObject
{
    Q_OBJECT
public:
    // Some 30 to 60 ms of the library's work on a desktop machine.
    static constexpr int kSliceEntries = 1000;

    NumberCheck(const PhoneNumbers& numbers, const QStringList& entries, QObject* parent = nullptr);

    // The first slice at once, so that a list of up to one slice is done,
    // finished() emitted, before this returns; the rest from the event loop.
    void start();

    const QStringList& entries() const { return m_entries; }
    // One for each entry, in list order, once finished.
    const QList<NumberClass>& classes() const { return m_classes; }

signals:
    void finished();

private:
    void classifySlice();

    const PhoneNumbers& m_numbers;
    QStringList m_entries;
    QList<NumberClass> m_classes;
    QTimer m_next;
};

} // namespace quillmore
