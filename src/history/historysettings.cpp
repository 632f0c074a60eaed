#include "history/historysettings.h"

#include "history/historystore.h"
#include "shell/settingsstore.h"

namespace quillmore {

int historyDays(const SettingsStore& settings)
{
    return historyDays(settings.readSetting(kHistoryDaysKey));
}

int historyDays(const QString& settingValue)
{
    bool ok = false;
    const int days = settingValue.trimmed().toInt(&ok);
    // A value that is no number keeps the default rather than pruning
    // everything: what the user paid for must not go by a typing slip.
    return ok && days >= 1 ? days : HistoryStore::kKeepDays;
}

} // namespace quillmore
