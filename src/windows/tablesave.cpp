#include "windows/tablesave.h"

#include "desktop/tableworkbook.h"
#include "shell/dialogs.h"
#include "shell/errorreport.h"
#include "shell/safefile.h"
#include "tables/tablejoin.h"
#include "tables/tableopen.h"
#include "tables/tablewriter.h"
#include "windows/mainwindowcontrols.h"

#include <QIODevice>

namespace quillmore {

void saveTableWithResults(Dialogs& dialogs, const QList<ResultRecord>& rows,
                          const PhoneNumbers& numbers, const QString& lastTable)
{
    GuardedProcedure proc(dialogs,
                          procedurePath(kMainForm, QStringLiteral("SaveTableWithResults_Click")));
    const QString source = proc.value(
        [&] { return dialogs.openFileName(kOpenTableTitle, kTableFileFilter, lastTable); });
    if (source.isEmpty())
        return;
    std::optional<ChosenTable> chosen;
    try {
        chosen = openTable(dialogs, source, numbers);
    } catch (const Failure& failure) {
        dialogs.message(failure.description(), {}, Dialogs::Icon::Warning);
        return;
    }
    if (!chosen)
        return;
    const QString target =
        proc.value([&] { return dialogs.saveFileName(kSaveTableTitle, kTableSaveFilter); });
    if (target.isEmpty())
        return;

    const ResultsByNumber results(rows, numbers);
    const auto resultsOf = [&](qsizetype row) { return results.cellsFor(chosen->plan.e164(row)); };
    const bool saved = proc.step([&] {
        if (target.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive)) {
            saveTableAsWorkbook(target, chosen->table, chosen->plan, resultsOf);
        } else {
            saveWholeFile(target, [&](QIODevice& device) {
                writeCsvTable(device, chosen->table, chosen->plan, resultsOf);
            });
        }
    });
    if (saved)
        proc.step([&] { dialogs.message(QStringLiteral("Done.")); });
}

} // namespace quillmore
