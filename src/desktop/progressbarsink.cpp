#include "desktop/progressbarsink.h"

namespace quillmore {

ProgressBarSink::ProgressBarSink(QProgressBar* bar) : m_bar(bar) {}

void ProgressBarSink::attach(QProgressBar* bar)
{
    m_bar = bar;
    setProgressValue(m_value);
    setProgressText(m_text);
}

void ProgressBarSink::setProgressValue(double value)
{
    m_value = value;
    if (m_bar)
        m_bar->setValue(qBound(0, int(value + 0.5), 100));
}

void ProgressBarSink::setProgressText(const QString& text)
{
    m_text = text;
    if (m_bar) {
        // The bar would read %p, %v and %m in the text as placeholders.
        QString format = text;
        format.replace(QLatin1Char('%'), QStringLiteral("%%"));
        m_bar->setFormat(format);
    }
}

} // namespace quillmore
