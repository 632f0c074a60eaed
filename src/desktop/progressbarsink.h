#pragma once

#include "shell/progresssink.h"

#include <QPointer>
#include <QProgressBar>

namespace quillmore {

// A progress bar that holds the exact (fractional) value long work reports;
// the bar itself shows whole percent, and its text literally.
class ProgressBarSink : public ProgressSink
{
public:
    explicit ProgressBarSink(QProgressBar* bar = nullptr);
    void attach(QProgressBar* bar);
    void setProgressValue(double value) override;
    void setProgressText(const QString& text) override;
    double progressValue() const override { return m_value; }
    QString progressText() const override { return m_text; }

private:
    QPointer<QProgressBar> m_bar;
    double m_value = 0;
    QString m_text;
};

} // namespace quillmore
