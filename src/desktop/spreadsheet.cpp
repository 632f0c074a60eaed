#include "desktop/spreadsheet.h"

#include "export/textexport.h"
#include "shell/dialogs.h"
#include "shell/errorreport.h"
#include "shell/leftovers.h"

#include <QLockFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <xlsxwriter.h>

#include <algorithm>

namespace quillmore {

namespace {

// The desktop's answer comes at once; a hanging helper must not hold the window.
constexpr int kQueryTimeoutMs = 3000;

QString libraryError(lxw_error error)
{
    return QString::fromUtf8(lxw_strerror(error));
}

// One application, one workbook, as the export drives it.
class XlsxSpreadsheet : public SpreadsheetApplication
{
public:
    XlsxSpreadsheet(Dialogs& dialogs, SpreadsheetHandler handler, const QString& tempParent)
        : m_dialogs(dialogs), m_handler(std::move(handler)),
          m_folder(QDir(tempParent).filePath(kWorkbookFolderPrefix + QStringLiteral("XXXXXX")))
    {
        if (!m_folder.isValid())
            throw Failure(m_folder.errorString());
        m_claim = claimFolder(m_folder.path());
    }

    void addWorkbook() override
    {
        if (m_workbook)
            throw Failure(QStringLiteral("A workbook is already open"));
        m_workbook = std::make_unique<XlsxWorkbook>(m_folder.filePath(QStringLiteral("Book1.xlsx")),
                                                    m_folder.path());
    }

    void setCellText(int row, int column, const QString& text) override
    {
        workbook().setCellText(row, column, text);
    }

    void autofitColumns() override { workbook().fitColumns(); }

    void show() override
    {
        XlsxWorkbook& book = workbook();
        book.save();
        const QString file = book.path();
        switch (m_handler.kind) {
        case SpreadsheetHandler::Kind::LibreOffice:
            // "-n" opens the file as a template: the user gets an untitled
            // document, and saving it asks for a name.
            if (!QProcess::startDetached(m_handler.program,
                                         {QStringLiteral("--calc"), QStringLiteral("-n"), file}))
                throw Failure(QStringLiteral("Cannot start ") + m_handler.program);
            break;
        case SpreadsheetHandler::Kind::Desktop:
            m_dialogs.openUrl(QUrl::fromLocalFile(file));
            break;
        case SpreadsheetHandler::Kind::None:
            throw Failure(QStringLiteral("No application for spreadsheets is installed"));
        }
        // The application reads the file after this object has gone, and
        // may keep working on it in place: the folder stays for the next
        // start's removeUnusedWorkbookFolders, no longer claimed by this copy.
        m_folder.setAutoRemove(false);
        m_claim.reset();
    }

private:
    XlsxWorkbook& workbook()
    {
        if (!m_workbook)
            throw Failure(QStringLiteral("No workbook is open"));
        return *m_workbook;
    }

    Dialogs& m_dialogs;
    SpreadsheetHandler m_handler;
    QTemporaryDir m_folder;
    // Declared after the folder so that it is given back before the folder
    // is removed with the lock file in it.
    std::unique_ptr<QLockFile> m_claim;
    std::unique_ptr<XlsxWorkbook> m_workbook;
};

} // namespace

SpreadsheetApplication::~SpreadsheetApplication() = default;
SpreadsheetLauncher::~SpreadsheetLauncher() = default;

SpreadsheetHandler findSpreadsheetHandler()
{
    for (const char* name : {"soffice", "localc", "libreoffice"}) {
        const QString program = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!program.isEmpty())
            return {SpreadsheetHandler::Kind::LibreOffice, program};
    }
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty())
        return {};
    QProcess query;
    query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"), kXlsxMimeType});
    if (!query.waitForFinished(kQueryTimeoutMs)) {
        query.kill();
        query.waitForFinished(kQueryTimeoutMs);
        return {};
    }
    const QString entry = QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0 || entry.isEmpty())
        return {};
    return {SpreadsheetHandler::Kind::Desktop, entry};
}

XlsxWorkbook::XlsxWorkbook(const QString& path, const QString& scratchFolder)
    : m_path(path), m_scratchFolder(QFile::encodeName(scratchFolder))
{
    lxw_workbook_options options{};
    options.constant_memory = LXW_FALSE;
    options.tmpdir = m_scratchFolder.isEmpty() ? nullptr : m_scratchFolder.data();
    options.use_zip64 = LXW_FALSE;
    m_workbook = workbook_new_opt(QFile::encodeName(path).constData(), &options);
    if (!m_workbook)
        throw Failure(QStringLiteral("Cannot create the workbook ") + path);
    m_sheet = workbook_add_worksheet(m_workbook, nullptr);
    if (!m_sheet) {
        lxw_workbook_free(m_workbook);
        m_workbook = nullptr;
        throw Failure(QStringLiteral("Cannot add a sheet to the workbook ") + path);
    }
}

XlsxWorkbook::~XlsxWorkbook()
{
    // Never saved: dropped without writing anything.
    if (m_workbook)
        lxw_workbook_free(m_workbook);
}

void XlsxWorkbook::setCellText(int row, int column, const QString& text, CellStyle style)
{
    if (!m_workbook)
        throw Failure(QStringLiteral("The workbook has already been written"));
    if (row < 1 || row > LXW_ROW_MAX || column < 1 || column > LXW_COL_MAX)
        throw Failure(libraryError(LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE));
    if (text.isEmpty())
        return;
    // Refused before the library sees it, which would otherwise still widen
    // the sheet's used range to this cell.
    const qsizetype length = textLength(text);
    if (length > kMaxCellTextLength)
        throw Failure(libraryError(LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED));
    lxw_format* format = nullptr;
    if (style == CellStyle::Bold) {
        if (!m_bold) {
            m_bold = workbook_add_format(m_workbook);
            if (!m_bold)
                throw Failure(libraryError(LXW_ERROR_MEMORY_MALLOC_FAILED));
            format_set_bold(m_bold);
        }
        format = m_bold;
    }
    const lxw_error error = worksheet_write_string(
        m_sheet, lxw_row_t(row - 1), lxw_col_t(column - 1), text.toUtf8().constData(), format);
    if (error != LXW_NO_ERROR)
        throw Failure(libraryError(error));
    if (m_longest.size() < column)
        m_longest.resize(column, 0);
    m_longest[column - 1] = std::max(m_longest[column - 1], length);
}

void XlsxWorkbook::freezeRows(int rows)
{
    if (!m_workbook)
        throw Failure(QStringLiteral("The workbook has already been written"));
    if (rows < 0 || rows > LXW_ROW_MAX)
        throw Failure(libraryError(LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE));
    worksheet_freeze_panes(m_sheet, lxw_row_t(rows), 0);
}

double XlsxWorkbook::columnWidthFor(qsizetype longestText)
{
    // Widths count the digit width of the default font; capitals and wide
    // letters need a little more, and the sheet takes no more than 255.
    return std::min(255.0, double(longestText) * 1.1 + 1.0);
}

void XlsxWorkbook::fitColumns()
{
    if (!m_workbook)
        throw Failure(QStringLiteral("The workbook has already been written"));
    for (qsizetype c = 0; c < m_longest.size(); ++c) {
        if (m_longest.at(c) == 0)
            continue;
        const lxw_error error = worksheet_set_column(m_sheet, lxw_col_t(c), lxw_col_t(c),
                                                     columnWidthFor(m_longest.at(c)), nullptr);
        if (error != LXW_NO_ERROR)
            throw Failure(libraryError(error));
    }
}

void XlsxWorkbook::save()
{
    if (!m_workbook)
        throw Failure(QStringLiteral("The workbook has already been written"));
    // Closing frees the workbook whether or not the file could be written.
    const lxw_error error = workbook_close(m_workbook);
    m_workbook = nullptr;
    m_sheet = nullptr;
    m_bold = nullptr;
    if (error != LXW_NO_ERROR)
        throw Failure(libraryError(error));
}

XlsxSpreadsheetLauncher::XlsxSpreadsheetLauncher(Dialogs& dialogs, SpreadsheetFinder finder,
                                                 QString tempParent)
    : m_dialogs(dialogs), m_finder(std::move(finder)), m_tempParent(std::move(tempParent))
{
}

bool XlsxSpreadsheetLauncher::isInstalled()
{
    try {
        return m_finder && m_finder().kind != SpreadsheetHandler::Kind::None;
    } catch (...) {
        return false;
    }
}

std::unique_ptr<SpreadsheetApplication> XlsxSpreadsheetLauncher::createApplication()
{
    SpreadsheetHandler handler = m_finder ? m_finder() : SpreadsheetHandler{};
    if (handler.kind == SpreadsheetHandler::Kind::None)
        throw Failure(QStringLiteral("No application for spreadsheets is installed"));
    return std::make_unique<XlsxSpreadsheet>(m_dialogs, std::move(handler), m_tempParent);
}

} // namespace quillmore
