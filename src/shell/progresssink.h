#pragma once

#include <QString>

namespace quillmore {

// What long work needs of a progress bar: a value from 0 to 100 (fractions
// allowed) and a text shown on the bar.
class ProgressSink
{
public:
    virtual ~ProgressSink() = default;
    virtual void setProgressValue(double value) = 0;
    virtual void setProgressText(const QString& text) = 0;
    virtual double progressValue() const = 0;
    virtual QString progressText() const = 0;
};

inline const QString kProgressRestText = QStringLiteral("Progress Bar");

} // namespace quillmore
