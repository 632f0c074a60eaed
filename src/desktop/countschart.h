#pragma once

#include "export/rowkinds.h"

#include <QChartView>
#include <QList>
#include <QString>

namespace quillmore {

// A bar chart of how many rows have each value: one horizontal bar a value,
// the largest at the top, its count written beside it. The chart's title is
// also its accessible name, and its accessible description reads the
// figures, so a screen reader gets what the bars show. Its colours come
// from the palette, so a dark theme gets a dark chart with light text.
class CountsChart : public QChartView
{
    Q_OBJECT
public:
    explicit CountsChart(const QString& title, QWidget* parent = nullptr);

    void setCounts(const QList<KindCount>& counts);
    const QList<KindCount>& counts() const { return m_counts; }

    // "Mobile: 3,211; Landline: 1,500." or "No rows."
    static QString describe(const QList<KindCount>& counts);

protected:
    void changeEvent(QEvent* event) override;

private:
    void rebuild();
    void applyPalette();

    QList<KindCount> m_counts;
};

} // namespace quillmore
