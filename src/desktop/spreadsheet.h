#pragma once

#include <QByteArray>
#include <QDir>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

struct lxw_format;
struct lxw_workbook;
struct lxw_worksheet;

namespace quillmore {

class Dialogs;

// A spreadsheet application with one new workbook, driven the way the export
// needs it. Rows and columns count from 1. Every call throws Failure when the
// application refuses it.
class SpreadsheetApplication
{
public:
    virtual ~SpreadsheetApplication();
    virtual void addWorkbook() = 0;
    // The text arrives as text: never a number, a date or a formula.
    virtual void setCellText(int row, int column, const QString& text) = 0;
    virtual void autofitColumns() = 0;
    // Hands the unsaved workbook to the user; it is theirs from then on.
    virtual void show() = 0;
};

class SpreadsheetLauncher
{
public:
    virtual ~SpreadsheetLauncher();
    // Whether an application can be started at all; never throws.
    virtual bool isInstalled() = 0;
    // A new application, not yet shown. Throws Failure when none can be started.
    virtual std::unique_ptr<SpreadsheetApplication> createApplication() = 0;
};

// Who takes a finished workbook on this desktop.
struct SpreadsheetHandler
{
    enum class Kind { None, LibreOffice, Desktop };
    Kind kind = Kind::None;
    // The LibreOffice executable, or the desktop's application entry for .xlsx.
    QString program;
};
using SpreadsheetFinder = std::function<SpreadsheetHandler()>;

inline const QString kXlsxMimeType =
    QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet");

// LibreOffice on PATH first; otherwise whatever the desktop opens .xlsx with.
SpreadsheetHandler findSpreadsheetHandler();

// The most characters a sheet cell holds.
inline constexpr qsizetype kMaxCellTextLength = 32767;

// An .xlsx file, every value a text cell, written when saved.
class XlsxWorkbook
{
public:
    // `scratchFolder` takes the library's own temporary files; empty means the system's.
    explicit XlsxWorkbook(const QString& path, const QString& scratchFolder = QString());
    ~XlsxWorkbook();
    XlsxWorkbook(const XlsxWorkbook&) = delete;
    XlsxWorkbook& operator=(const XlsxWorkbook&) = delete;

    enum class CellStyle { Plain, Bold };
    void setCellText(int row, int column, const QString& text, CellStyle style = CellStyle::Plain);
    // The top `rows` rows stay in view while the sheet scrolls.
    void freezeRows(int rows);
    // Each column that holds text as wide as its longest text.
    void fitColumns();
    // Writes the file; no cells can be set afterwards.
    void save();

    QString path() const { return m_path; }
    static double columnWidthFor(qsizetype longestText);

private:
    QString m_path;
    QByteArray m_scratchFolder;
    lxw_workbook* m_workbook = nullptr;
    lxw_worksheet* m_sheet = nullptr;
    lxw_format* m_bold = nullptr; // the workbook's, made at its first use
    QList<qsizetype> m_longest;
};

// The workbook is written into a private folder of its own under `tempParent`
// (named with kWorkbookFolderPrefix and claimed with claimFolder), and handed
// to LibreOffice Calc as a new, untitled document, or to the desktop's
// application for .xlsx, which may open it in place. A folder that no
// application took goes when the export ends; a handed-over one stays, and a
// later start removes it with removeUnusedWorkbookFolders once it has been
// left unchanged for kWorkbookKeepDays and nothing has it open.
class XlsxSpreadsheetLauncher : public SpreadsheetLauncher
{
public:
    explicit XlsxSpreadsheetLauncher(Dialogs& dialogs,
                                     SpreadsheetFinder finder = findSpreadsheetHandler,
                                     QString tempParent = QDir::tempPath());
    bool isInstalled() override;
    std::unique_ptr<SpreadsheetApplication> createApplication() override;

private:
    Dialogs& m_dialogs;
    SpreadsheetFinder m_finder;
    QString m_tempParent;
};

} // namespace quillmore
