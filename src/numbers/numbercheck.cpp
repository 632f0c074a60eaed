#include "numbers/numbercheck.h"

namespace quillmore {

NumberCheck::NumberCheck(const PhoneNumbers& numbers, const QStringList& entries, QObject* parent)
    : QObject(parent), m_numbers(numbers), m_entries(entries)
{
    m_classes.reserve(m_entries.size());
    m_next.setSingleShot(true);
    m_next.setInterval(0);
    connect(&m_next, &QTimer::timeout, this, &NumberCheck::classifySlice);
}

void NumberCheck::start()
{
    classifySlice();
}

void NumberCheck::classifySlice()
{
    const qsizetype end = std::min(m_entries.size(), m_classes.size() + kSliceEntries);
    for (qsizetype i = m_classes.size(); i < end; ++i)
        m_classes << m_numbers.classify(m_entries.at(i));
    if (m_classes.size() < m_entries.size())
        m_next.start();
    else
        emit finished(); // the receiver may delete this check: nothing follows
}

} // namespace quillmore
