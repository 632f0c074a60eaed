#include "tables/tableopen.h"

#include "shell/dialogs.h"
#include "tables/tablejoin.h"

namespace quillmore {

std::optional<ChosenTable> openTable(Dialogs& dialogs, const QString& path,
                                     const PhoneNumbers& numbers)
{
    ChosenTable chosen;
    chosen.table = readTableFile(path);
    const std::optional<ColumnAnswer> answer = dialogs.chooseColumns(columnQuestion(chosen.table));
    // A window that gave back no column is a cancel, not a read of column -1.
    if (!answer || answer->phoneColumn < 0 || answer->phoneColumn >= chosen.table.columnCount())
        return std::nullopt;
    chosen.phoneColumn = answer->phoneColumn;
    chosen.countryColumn =
        answer->countryColumn < chosen.table.columnCount() ? answer->countryColumn : -1;
    chosen.plan =
        planTable(chosen.table, chosen.phoneColumn, chosen.countryColumn, numbers.region());
    return chosen;
}

} // namespace quillmore
