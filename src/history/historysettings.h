#pragma once

#include <QString>

namespace quillmore {

class SettingsStore;

inline const QString kHistoryDaysKey = QStringLiteral("History Days");

// How many days the history keeps answers: the setting "History Days" when
// it holds a whole number of at least 1, else HistoryStore::kKeepDays.
int historyDays(const SettingsStore& settings);
int historyDays(const QString& settingValue);

} // namespace quillmore
