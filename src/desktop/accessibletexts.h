#pragma once

class QWidget;

namespace quillmore {

// What a screen reader says for the main window's controls whose captions do
// not say it themselves: the lists, the console and the bar have no caption,
// and two buttons each share theirs with another one.
void setMainWindowAccessibleTexts(QWidget* window);

} // namespace quillmore
