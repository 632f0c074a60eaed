#include "windows/summarywindow.h"

#include "desktop/clipboard.h"
#include "desktop/countschart.h"
#include "export/resultsmodel.h"
#include "numbers/numbercheck.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace quillmore {

SummaryWindow::SummaryWindow(const ResultsModel& model, const PhoneNumbers& numbers,
                             Clipboard& clipboard, QWidget* parent)
    : QWidget(parent, Qt::Window), m_model(model), m_numbers(numbers), m_validNumbers(numbers),
      m_clipboard(clipboard)
{
    setWindowTitle(kSummaryTitle);
    setObjectName(QStringLiteral("SummaryWindow"));
    resize(900, 760);

    m_figures = new QLabel(this);
    m_figures->setObjectName(QStringLiteral("SummaryFigures"));
    m_figures->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_byType = new CountsChart(kRowsByTypeTitle, this);
    m_byStatus = new CountsChart(kRowsByStatusTitle, this);
    m_byProvider = new CountsChart(kRowsByProviderTitle, this);
    m_copy = new QPushButton(kCopySummaryCaption, this);
    m_copy->setObjectName(QStringLiteral("CopySummary"));
    connect(m_copy, &QPushButton::clicked, this, &SummaryWindow::copySummary);

    auto* layout = new QGridLayout(this);
    layout->addWidget(m_figures, 0, 0, 1, 2);
    layout->addWidget(m_byType, 1, 0);
    layout->addWidget(m_byStatus, 1, 1);
    layout->addWidget(m_byProvider, 2, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_copy);
    layout->addLayout(buttons, 3, 0, 1, 2);
    layout->setRowStretch(1, 2);
    layout->setRowStretch(2, 3);

    m_redraw.setSingleShot(true);
    m_redraw.setInterval(kRedrawDelayMs);
    connect(&m_redraw, &QTimer::timeout, this, &SummaryWindow::redraw);
    // A tick changes no figure: only rows coming and going do.
    connect(&model, &QAbstractItemModel::rowsInserted, this, &SummaryWindow::scheduleRedraw);
    connect(&model, &QAbstractItemModel::rowsRemoved, this, &SummaryWindow::scheduleRedraw);
    connect(&model, &QAbstractItemModel::modelReset, this, &SummaryWindow::scheduleRedraw);
    redraw();
}

SummaryWindow::~SummaryWindow() = default;

void SummaryWindow::scheduleRedraw()
{
    if (!m_redraw.isActive())
        m_redraw.start();
}

void SummaryWindow::redraw()
{
    m_redraw.stop();
    const QList<ResultRecord>& rows = m_model.records();
    const QStringList unjudged = m_validNumbers.unjudged(rows);
    m_summary =
        unjudged.isEmpty() ? ResultSummary(rows, m_validNumbers.test()) : ResultSummary(rows);
    m_figures->setText(QStringLiteral("Rows: %1      Paid lookups: %2      Valid numbers: %3")
                           .arg(ResultSummary::countText(m_summary.rows()),
                                ResultSummary::countText(m_summary.paid()),
                                m_summary.hasValidCount() ? m_summary.validText()
                                                          : QStringLiteral("being checked")));
    m_figures->setAccessibleName(m_figures->text());
    m_byType->setCounts(m_summary.byType());
    m_byStatus->setCounts(m_summary.byStatus());
    m_byProvider->setCounts(m_summary.topProviders());
    // Last: a short list is judged at once and draws again from in here.
    if (!unjudged.isEmpty() && !m_check)
        checkNumbers(unjudged);
}

void SummaryWindow::checkNumbers(const QStringList& entries)
{
    m_check = std::make_unique<NumberCheck>(m_numbers, entries);
    connect(m_check.get(), &NumberCheck::finished, this, [this] {
        // The check goes later, being the sender.
        NumberCheck* done = m_check.release();
        done->deleteLater();
        m_validNumbers.learn(done->entries(), done->classes());
        // Rows that came meanwhile are checked by the next redraw.
        redraw();
    });
    m_check->start();
}

void SummaryWindow::copySummary()
{
    // What the window shows, even when rows arrived within the redraw delay.
    if (m_redraw.isActive())
        redraw();
    clipboardSetText(m_clipboard, m_summary.text(QStringLiteral("\r\n")));
}

} // namespace quillmore
