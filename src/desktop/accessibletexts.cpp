#include "desktop/accessibletexts.h"

#include <QWidget>

namespace quillmore {

namespace {
struct AccessibleText
{
    const char* objectName;
    const char* name;
    const char* description;
};
} // namespace

void setMainWindowAccessibleTexts(QWidget* window)
{
    static constexpr AccessibleText texts[] = {
        {"ListView1", "Phone Numbers", nullptr},
        {"ListView2", "Results", nullptr},
        {"Text1", "Console View", nullptr},
        {"ProgressBar1", "Progress", nullptr},
        {"PushButton5", nullptr, "Copies the console text"},
        {"PushButton7", nullptr, "Copies the ticked results"},
        {"PushButton1", nullptr, "Empties the number list"},
        {"PushButton2", nullptr, "Empties the results list"},
    };
    for (const AccessibleText& text : texts) {
        auto* control = window->findChild<QWidget*>(QLatin1String(text.objectName));
        if (!control)
            continue;
        if (text.name)
            control->setAccessibleName(QString::fromLatin1(text.name));
        if (text.description)
            control->setAccessibleDescription(QString::fromLatin1(text.description));
    }
}

} // namespace quillmore
