#include "desktop/tableworkbook.h"

#include "desktop/spreadsheet.h"
#include "shell/safefile.h"

#include <QFile>
#include <QIODevice>
#include <QTemporaryDir>

namespace quillmore {

namespace {

constexpr qsizetype kResultCells = 5; // Type, Name, Location, Provider, Status

void writeRow(XlsxWorkbook& book, int sheetRow, const QStringList& cells,
              XlsxWorkbook::CellStyle style = XlsxWorkbook::CellStyle::Plain)
{
    for (qsizetype c = 0; c < cells.size(); ++c)
        book.setCellText(sheetRow, int(c + 1), cells.at(c), style);
}

QByteArray workbookBytes(const QString& scratch, const Table& table, const TablePlan& plan,
                         const std::function<TableResultCells(qsizetype row)>& results)
{
    const QString file = scratch + QStringLiteral("/table.xlsx");
    {
        XlsxWorkbook book(file, scratch);
        const qsizetype columns = table.columnCount();
        QStringList header = table.header;
        header.resize(columns);
        writeRow(book, 1, header + tableResultCaptions(table.header),
                 XlsxWorkbook::CellStyle::Bold);
        book.freezeRows(1);
        for (qsizetype row = 0; row < table.rows.size(); ++row) {
            QStringList cells = table.rows.at(row);
            cells.resize(columns);
            const QString e164 = plan.e164(row);
            TableResultCells found = e164.isEmpty() ? TableResultCells() : results(row);
            if (e164.isEmpty())
                found = {QString(), QString(), QString(), QString(), plan.status(row)};
            found.resize(kResultCells);
            writeRow(book, int(row + 2), cells + found + QStringList{e164});
        }
        book.fitColumns();
        book.save();
    }
    QFile written(file);
    if (!written.open(QIODevice::ReadOnly))
        throw Failure(written.errorString());
    QByteArray bytes = written.readAll();
    if (written.error() != QFileDevice::NoError)
        throw Failure(written.errorString());
    return bytes;
}

} // namespace

void saveTableAsWorkbook(const QString& path, const Table& table, const TablePlan& plan,
                         const std::function<TableResultCells(qsizetype row)>& results)
{
    saveWholeFile(path, [&](QIODevice& device) {
        // Inside the save, so that a workbook that cannot be made is told as
        // this file's failure, in the words every other save uses.
        QTemporaryDir scratch;
        if (!scratch.isValid())
            throw Failure(scratch.errorString());
        writeAllOrThrow(device, workbookBytes(scratch.path(), table, plan, results));
    });
}

} // namespace quillmore
