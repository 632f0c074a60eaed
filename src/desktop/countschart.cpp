#include "desktop/countschart.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QEvent>
#include <QHorizontalBarSeries>
#include <QLocale>
#include <QValueAxis>

#include <algorithm>

namespace quillmore {

static QString countText(int count)
{
    return QLocale(QLocale::English).toString(count);
}

CountsChart::CountsChart(const QString& title, QWidget* parent) : QChartView(parent)
{
    setAccessibleName(title);
    setRenderHint(QPainter::Antialiasing);
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->legend()->hide();
    // Bar labels go through the chart's locale: "3,211", as the menus write it.
    chart->setLocale(QLocale(QLocale::English));
    chart->setLocalizeNumbers(true);
    chart->setBackgroundRoundness(0);
    chart->setMargins(QMargins(4, 4, 12, 4));
    setChart(chart);
    rebuild();
}

QString CountsChart::describe(const QList<KindCount>& counts)
{
    if (counts.isEmpty())
        return QStringLiteral("No rows.");
    QStringList parts;
    for (const KindCount& kind : counts)
        parts << kind.value + QStringLiteral(": ") + countText(kind.count);
    return parts.join(QStringLiteral("; ")) + QLatin1Char('.');
}

void CountsChart::setCounts(const QList<KindCount>& counts)
{
    if (counts == m_counts)
        return;
    m_counts = counts;
    rebuild();
}

void CountsChart::rebuild()
{
    QChart* chart = this->chart();
    chart->removeAllSeries();
    for (QAbstractAxis* axis : chart->axes())
        chart->removeAxis(axis), delete axis;

    auto* bars = new QBarSet(QStringLiteral("Rows"));
    QStringList categories;
    int largest = 0;
    // A horizontal chart draws its first category at the bottom.
    for (auto it = m_counts.crbegin(); it != m_counts.crend(); ++it) {
        categories << it->value;
        bars->append(it->count);
        largest = std::max(largest, it->count);
    }
    auto* series = new QHorizontalBarSeries;
    series->append(bars);
    series->setBarWidth(0.7);
    series->setLabelsVisible(true);
    series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
    series->setLabelsFormat(QStringLiteral("@value"));
    series->setLabelsPrecision(10);
    chart->addSeries(series);

    auto* names = new QBarCategoryAxis;
    names->append(categories);
    names->setGridLineVisible(false);
    chart->addAxis(names, Qt::AlignLeft);
    series->attachAxis(names);

    // The counts are written beside the bars; the value axis only gives them
    // room, a fifth more than the longest bar, so no label is cut.
    auto* values = new QValueAxis;
    values->setRange(0, std::max(1.0, largest * 1.2));
    values->setVisible(false);
    chart->addAxis(values, Qt::AlignBottom);
    series->attachAxis(values);

    setAccessibleDescription(describe(m_counts));
    applyPalette();
}

void CountsChart::applyPalette()
{
    QChart* chart = this->chart();
    const QPalette& p = palette();
    const QColor text = p.color(QPalette::WindowText);
    chart->setBackgroundBrush(p.brush(QPalette::Base));
    chart->setBackgroundPen(QPen(p.color(QPalette::Mid)));
    chart->setPlotAreaBackgroundVisible(false);
    chart->setTitleBrush(text);
    for (QAbstractAxis* axis : chart->axes()) {
        axis->setLabelsBrush(text);
        axis->setLinePenColor(p.color(QPalette::Mid));
    }
    for (QAbstractSeries* series : chart->series()) {
        for (QBarSet* set : static_cast<QAbstractBarSeries*>(series)->barSets()) {
            set->setColor(p.color(QPalette::Highlight));
            set->setBorderColor(p.color(QPalette::Highlight));
            set->setLabelColor(text);
        }
    }
    setBackgroundBrush(p.brush(QPalette::Window));
}

void CountsChart::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange)
        applyPalette();
    QChartView::changeEvent(event);
}

} // namespace quillmore
