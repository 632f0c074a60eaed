#pragma once

#include <QString>

namespace quillmore {

// A counted message in the singular or the plural, as English says it:
// countText("%n duplicate number(s) removed.", 1) gives "1 duplicate number
// removed.". Every such text is written once, with %n, and its two forms
// live in the program's English translation, so that a new message needs
// one line there rather than a branch of its own.
QString countText(const char* text, qsizetype n);

} // namespace quillmore
