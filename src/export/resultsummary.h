#pragma once

#include "export/rowkinds.h"
#include "shell/resultrecord.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QString>

#include <functional>

namespace quillmore {

class PhoneNumbers;
struct NumberClass;

// What a list of result rows holds, in figures: how many rows and paid
// lookups, the rows by type, by status and by provider, the rows not sent
// by reason, and how many of the numbers the phone-number library finds
// valid. Made from the rows in one pass; both programs show it.
//
// Paid lookups are the rows whose request reached the service and came
// back: answers, empty answers and error pages. A request that never
// connected, and a row never sent, cost nothing.
class ResultSummary
{
public:
    static constexpr int kTopProviders = 10;
    // The bar that holds every provider beyond the largest ones.
    static inline const QString kOtherProviders = QStringLiteral("Other");

    // The library's verdict on one number list entry.
    using ValidNumberTest = std::function<bool(const QString& entry)>;

    // The figures gathered a row at a time, for a list too long to hold at
    // once (the command line reads its rows back in batches).
    class Tally
    {
    public:
        // `paidHere` false: the row's answer was paid for elsewhere (an
        // earlier run, or another row of the same number), so it is no
        // paid lookup of this list.
        void add(const ResultRecord& row, bool valid = false, bool paidHere = true);
        ResultSummary summary(bool validCounted = false) const;

    private:
        friend class ResultSummary;
        int m_rows = 0;
        int m_paid = 0;
        int m_notSentTotal = 0;
        int m_valid = 0;
        QMap<NotSentReason, int> m_notSent;
        QHash<QString, int> m_types;
        QHash<QString, int> m_statuses;
        QHash<QString, int> m_providers;
    };

    ResultSummary() = default;
    // Without a test the valid numbers are not counted (hasValidCount()).
    explicit ResultSummary(const QList<ResultRecord>& rows, const ValidNumberTest& isValid = {});
    ResultSummary(const Tally& tally, bool validCounted);

    static bool isPaid(const ResultRecord& row);

    int rows() const { return m_rows; }
    int paid() const { return m_paid; }
    int notSent() const { return m_notSentTotal; }
    int notSent(NotSentReason reason) const { return m_notSent.value(reason); }

    // Each largest first (kindCounts() order); each adds up to rows().
    const QList<KindCount>& byType() const { return m_byType; }
    const QList<KindCount>& byStatus() const { return m_byStatus; }
    const QList<KindCount>& byProvider() const { return m_byProvider; }
    // The `top` largest providers, then kOtherProviders with the rest when
    // there is a rest.
    QList<KindCount> topProviders(int top = kTopProviders) const;

    bool hasValidCount() const { return m_validCounted; }
    int validNumbers() const { return m_valid; }
    // Of rows(), 0 to 1; 0 without rows.
    double validShare() const { return m_rows > 0 ? double(m_valid) / m_rows : 0.0; }

    // "4,950 (99.0%)"; the share is left out without rows.
    QString validText() const;

    // The figures as aligned lines: labels in one column, counts right-aligned
    // in the next, each line ended by `lineEnd`. `more` are figures of the
    // caller's own, written after the paid lookups.
    QString text(const QString& lineEnd = QStringLiteral("\n"),
                 const QList<KindCount>& more = {}) const;

    // A count as the summary writes it: "3,211".
    static QString countText(int count);

private:
    QString shareText() const;

    int m_rows = 0;
    int m_paid = 0;
    int m_notSentTotal = 0;
    QMap<NotSentReason, int> m_notSent;
    QList<KindCount> m_byType;
    QList<KindCount> m_byStatus;
    QList<KindCount> m_byProvider;
    bool m_validCounted = false;
    int m_valid = 0;
};

// The library's verdicts, each number judged once: a summary redone as rows
// arrive asks again only for the numbers it has not seen. The library takes
// tens of microseconds a number, so a window learns the verdicts of a long
// list in slices (NumberCheck) and counts once it knows them all.
class ValidNumberMemo
{
public:
    explicit ValidNumberMemo(const PhoneNumbers& numbers) : m_numbers(numbers) {}
    // Judges the entry now when its verdict is not known yet.
    bool isValid(const QString& entry);
    // The rows' numbers whose verdict is not known, each once.
    QStringList unjudged(const QList<ResultRecord>& rows) const;
    void learn(const QStringList& entries, const QList<NumberClass>& classes);
    ResultSummary::ValidNumberTest test()
    {
        return [this](const QString& entry) { return isValid(entry); };
    }

private:
    const PhoneNumbers& m_numbers;
    QHash<QString, bool> m_known;
};

} // namespace quillmore
