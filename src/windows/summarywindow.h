#pragma once

#include "export/resultsummary.h"

#include <QTimer>
#include <QWidget>

#include <memory>

class QLabel;
class QPushButton;

namespace quillmore {

class Clipboard;
class CountsChart;
class NumberCheck;
class PhoneNumbers;
class ResultsModel;

// "Summary": what the results list holds, in figures and three bar charts,
// redrawn as rows arrive and go. Not modal; the results list keeps one.
//
// Rows of a run arrive one by one and a restore brings thousands at once:
// the window gathers the changes and redraws once a short while after the
// first, not once a row. The valid numbers are counted once the library has
// judged every number, a slice at a time, so that a long list does not hold
// the window; until then the figures say they are being checked.
class SummaryWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kRedrawDelayMs = 100;

    SummaryWindow(const ResultsModel& model, const PhoneNumbers& numbers, Clipboard& clipboard,
                  QWidget* parent = nullptr);
    ~SummaryWindow() override;

    const ResultSummary& summary() const { return m_summary; }

    // "Copy Summary": the figures as aligned text.
    void copySummary();

private:
    void scheduleRedraw();
    void redraw();
    void checkNumbers(const QStringList& entries);

    const ResultsModel& m_model;
    const PhoneNumbers& m_numbers;
    std::unique_ptr<NumberCheck> m_check;
    ValidNumberMemo m_validNumbers;
    Clipboard& m_clipboard;
    ResultSummary m_summary;
    QTimer m_redraw;

    QLabel* m_figures = nullptr;
    CountsChart* m_byType = nullptr;
    CountsChart* m_byStatus = nullptr;
    CountsChart* m_byProvider = nullptr;
    QPushButton* m_copy = nullptr;
};

inline const QString kSummaryTitle = QStringLiteral("Summary");
inline const QString kCopySummaryCaption = QStringLiteral("Copy Summary");
inline const QString kRowsByTypeTitle = QStringLiteral("Rows by Type");
inline const QString kRowsByStatusTitle = QStringLiteral("Rows by Status");
inline const QString kRowsByProviderTitle = QStringLiteral("Rows by Provider");

} // namespace quillmore
