#include "tables/table.h"

#include "shell/errorreport.h"
#include "tables/csvtable.h"
#include "tables/xlsxtable.h"

#include <QDir>
#include <QFile>

namespace quillmore {

qsizetype Table::columnCount() const
{
    qsizetype columns = header.size();
    for (const QStringList& row : rows)
        columns = std::max(columns, row.size());
    return columns;
}

bool isTableFile(const QString& path)
{
    for (const char* ending : {".csv", ".tsv", ".xlsx"}) {
        if (path.endsWith(QLatin1String(ending), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

Table readTableFile(const QString& path)
{
    const QString shown = QDir::toNativeSeparators(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(
            QStringLiteral("Cannot open the table %1: %2").arg(shown, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Failure(
            QStringLiteral("Cannot read the table %1: %2").arg(shown, file.errorString()));
    try {
        if (path.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive))
            return readXlsx(bytes);
        const bool tabs = path.endsWith(QLatin1String(".tsv"), Qt::CaseInsensitive);
        return readCsv(bytes, tabs ? u'\t' : u',');
    } catch (const Failure& failure) {
        throw Failure(
            QStringLiteral("Cannot read the table %1: %2").arg(shown, failure.description()));
    }
}

} // namespace quillmore
