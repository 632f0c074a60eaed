#include "shell/errorreport.h"
#include "tables/xlsxarchive.h"
#include "tables/xlsxtable.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <xlsxwriter.h>
#include <zip.h>

using namespace quillmore;

using Rows = QList<QStringList>;
using Parts = QList<QPair<QString, QByteArray>>;

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A zip of the given parts, made by libzip in a temporary file.
QByteArray zipOf(const Parts& parts)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("parts.zip"));
    int error = 0;
    zip_t* archive = zip_open(path.toUtf8().constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive)
        return {};
    for (const auto& [name, bytes] : parts) {
        zip_source_t* source = zip_source_buffer(archive, bytes.constData(), bytes.size(), 0);
        zip_file_add(archive, name.toUtf8().constData(), source, ZIP_FL_OVERWRITE);
    }
    // The buffers are read here, while `parts` still holds them.
    if (zip_close(archive) != 0)
        return {};
    return fileBytes(path);
}

// The smallest workbook around a sheet: its workbook part, the relationship to
// the sheet and, when given, the shared texts.
QByteArray workbookOf(const QByteArray& sheetData, const QByteArray& sharedStrings = {})
{
    const QByteArray main = "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"";
    const QByteArray rel =
        "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"";
    Parts parts{
        {"xl/workbook.xml",
         "<?xml version=\"1.0\"?><workbook " + main + " " + rel +
             "><sheets><sheet name=\"Contacts\" sheetId=\"1\" r:id=\"rId7\"/>"
             "<sheet name=\"Other\" sheetId=\"2\" r:id=\"rId8\"/></sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels",
         "<?xml version=\"1.0\"?><Relationships "
         "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
         "<Relationship Id=\"rId8\" Type=\"x/worksheet\" Target=\"worksheets/other.xml\"/>"
         "<Relationship Id=\"rId7\" Type=\"x/worksheet\" Target=\"/xl/worksheets/first.xml\"/>"
         "<Relationship Id=\"rId9\" Type=\"x/sharedStrings\" Target=\"strings.xml\"/>"
         "</Relationships>"},
        {"xl/worksheets/first.xml", "<?xml version=\"1.0\"?><worksheet " + main + "><sheetData>" +
                                        sheetData + "</sheetData></worksheet>"},
        {"xl/worksheets/other.xml", "<worksheet " + main +
                                        "><sheetData><row r=\"1\"><c t=\"inlineStr\"><is><t>wrong "
                                        "sheet</t></is></c></row></sheetData></worksheet>"},
    };
    if (!sharedStrings.isEmpty())
        parts.append({"xl/strings.xml", "<sst " + main + ">" + sharedStrings + "</sst>"});
    return zipOf(parts);
}

QByteArray le(quint64 value, int bytes)
{
    QByteArray out;
    for (int i = 0; i < bytes; ++i)
        out += char((value >> (8 * i)) & 0xFF);
    return out;
}

// A zip whose one entry, xl/workbook.xml, says it unpacks to `declared` bytes
// while only a few are stored: what a zip bomb looks like from outside.
QByteArray zipDeclaring(quint64 declared)
{
    const QByteArray name = "xl/workbook.xml";
    const QByteArray data(16, 'x');
    const QByteArray zip64 = le(1, 2) + le(16, 2) + le(declared, 8) + le(quint64(data.size()), 8);
    const QByteArray common = le(45, 2) + le(0, 2) + le(8, 2) + le(0, 2) + le(0x21, 2) + le(0, 4) +
                              le(0xFFFFFFFF, 4) + le(0xFFFFFFFF, 4) + le(quint64(name.size()), 2) +
                              le(quint64(zip64.size()), 2);
    const QByteArray local = le(0x04034b50, 4) + common + name + zip64 + data;
    const QByteArray central = le(0x02014b50, 4) + le(45, 2) + common + le(0, 2) + le(0, 2) +
                               le(0, 2) + le(0, 4) + le(0, 4) + name + zip64;
    const QByteArray end = le(0x06054b50, 4) + le(0, 2) + le(0, 2) + le(1, 2) + le(1, 2) +
                           le(quint64(central.size()), 4) + le(quint64(local.size()), 4) + le(0, 2);
    return local + central + end;
}

QString failureOf(const QByteArray& bytes)
{
    try {
        readXlsx(bytes);
    } catch (const Failure& failure) {
        return failure.description();
    }
    return QStringLiteral("(no Failure)");
}

} // namespace

class XlsxTableTest : public QObject
{
    Q_OBJECT

private slots:
    void workbookWriterCells_data();
    void workbookWriterCells();
    void libreOfficeWorkbook();
    void cellKinds_data();
    void cellKinds();
    void notAWorkbook_data();
    void notAWorkbook();
    void partDeclaringTenGigabytesIsRefusedUnread();
};

void XlsxTableTest::workbookWriterCells_data()
{
    QTest::addColumn<bool>("constantMemory");
    // Shared texts by default; inline texts when the writer saves memory.
    QTest::newRow("shared texts") << false;
    QTest::newRow("inline texts") << true;
}

void XlsxTableTest::workbookWriterCells()
{
    QFETCH(bool, constantMemory);
    QTemporaryDir dir;
    const QByteArray path = dir.filePath(QStringLiteral("book.xlsx")).toUtf8();
    lxw_workbook_options options{};
    options.constant_memory = constantMemory ? LXW_TRUE : LXW_FALSE;
    lxw_workbook* workbook = workbook_new_opt(path.constData(), &options);
    QVERIFY(workbook);
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, "Contacts");
    lxw_worksheet* second = workbook_add_worksheet(workbook, "Notes");
    lxw_format* bold = workbook_add_format(workbook);
    format_set_bold(bold);
    worksheet_write_string(sheet, 0, 0, "Name", nullptr);
    worksheet_write_string(sheet, 0, 1, "Phone", nullptr);
    worksheet_write_string(sheet, 0, 3, "ZIP", nullptr); // column C left empty
    lxw_rich_string_tuple first{bold, const_cast<char*>("Ada ")};
    lxw_rich_string_tuple last{nullptr, const_cast<char*>("Lovelace")};
    lxw_rich_string_tuple* rich[] = {&first, &last, nullptr};
    worksheet_write_rich_string(sheet, 1, 0, rich, nullptr);
    worksheet_write_number(sheet, 1, 1, 4135923823.0, nullptr);
    worksheet_write_number(sheet, 1, 3, 1103.0, nullptr);
    worksheet_write_string(sheet, 2, 0, "Jo", nullptr);
    worksheet_write_string(sheet, 2, 1, "+44 20 7946 0958", nullptr);
    worksheet_write_number(sheet, 2, 2, 2.5, nullptr);
    worksheet_write_boolean(sheet, 2, 3, 1, nullptr);
    worksheet_write_number(sheet, 4, 1, 14135923823.0, nullptr); // row 4 left empty
    worksheet_write_number(sheet, 4, 4, -3.0, nullptr);
    worksheet_write_string(second, 0, 0, "not this sheet", nullptr);
    QCOMPARE(workbook_close(workbook), LXW_NO_ERROR);

    const Table table = readXlsx(fileBytes(QString::fromUtf8(path)));
    QCOMPARE(table.kind, Table::Kind::Xlsx);
    QCOMPARE(table.header, (QStringList{"Name", "Phone", "", "ZIP"}));
    QCOMPARE(table.rows, (Rows{{"Ada Lovelace", "4135923823", "", "1103"},
                               {"Jo", "+44 20 7946 0958", "2.5", "TRUE"},
                               {},
                               {"", "14135923823", "", "", "-3"}}));
}

void XlsxTableTest::libreOfficeWorkbook()
{
    // Saved by LibreOffice Calc from a CSV of the same rows; it typed the ZIP
    // codes, the country code and the scores as numbers.
    const QByteArray bytes =
        fileBytes(qEnvironmentVariable("QUILLMORE_SOURCE_DIR") +
                  QStringLiteral("/tests/tables/data/libreoffice-contacts.xlsx"));
    QVERIFY(!bytes.isEmpty());
    const Table table = readXlsx(bytes);
    QCOMPARE(table.header, (QStringList{"Name", "Phone", "City", "ZIP", "Country", "Score"}));
    QCOMPARE(table.rows, (Rows{{"Ada Lovelace", "413-592-3823", "Springfield", "1103", "US", "2.5"},
                               {"Smith, Jo", "+44 20 7946 0958", "London", "", "GB", "TRUE"},
                               {"No Phone", "", "Boston", "2110"},
                               {"Big Number", "4135923823", "Amherst", "1002", "1", "-7"}}));
}

void XlsxTableTest::cellKinds_data()
{
    QTest::addColumn<QByteArray>("sheetData");
    QTest::addColumn<QByteArray>("sharedStrings");
    QTest::addColumn<QStringList>("header");
    QTest::addColumn<Rows>("rows");

    const QByteArray header =
        "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>Phone</t></is></c></row>";
    const auto one = [&](const char* name, const QByteArray& cell, const QString& text) {
        QTest::newRow(name) << header + "<row r=\"2\">" + cell + "</row>" << QByteArray()
                            << QStringList{"Phone"} << Rows{{text}};
    };
    one("number in E notation", "<c r=\"A2\"><v>1.4135923823E10</v></c>", "14135923823");
    one("whole number written with .0", "<c r=\"A2\" t=\"n\"><v>3.0</v></c>", "3");
    one("fraction", "<c r=\"A2\"><v>0.1</v></c>", "0.1");
    one("fraction past 15 digits", "<c r=\"A2\"><v>0.30000000000000004</v></c>", "0.3");
    one("boolean false", "<c r=\"A2\" t=\"b\"><v>0</v></c>", "FALSE");
    one("error", "<c r=\"A2\" t=\"e\"><v>#N/A</v></c>", "#N/A");
    one("formula's text value", "<c r=\"A2\" t=\"str\"><f>A1&amp;\"x\"</f><v>Phonex</v></c>",
        "Phonex");
    one("formula's number value", "<c r=\"A2\"><f>1+1</f><v>2</v></c>", "2");
    one("escaped line break", "<c r=\"A2\" t=\"inlineStr\"><is><t>a_x000D__x000A_b</t></is></c>",
        "a\r\nb");
    one("escaped underscore stays text",
        "<c r=\"A2\" t=\"inlineStr\"><is><t>_x005F_x0041_</t></is></c>", "_x0041_");

    QTest::newRow("shared rich text without its phonetic guide")
        << header +
               "<row r=\"2\"><c r=\"A2\" t=\"s\"><v>1</v></c><c r=\"B2\" t=\"s\"><v>0</v></c></row>"
        << QByteArray("<si><t>plain</t></si><si><r><t>Ad</t></r><r><rPr><b/></rPr><t "
                      "xml:space=\"preserve\">a </t></r><rPh><t>AA</t></rPh></si>")
        << QStringList{"Phone"} << Rows{{"Ada ", "plain"}};
    QTest::newRow("missing cells keep the columns")
        << QByteArray("<row r=\"1\"><c r=\"B1\" t=\"inlineStr\"><is><t>Phone</t></is></c>"
                      "<c r=\"D1\" t=\"inlineStr\"><is><t>City</t></is></c></row>"
                      "<row r=\"2\"><c r=\"D2\" t=\"inlineStr\"><is><t>Oslo</t></is></c>"
                      "<c r=\"AA2\"><v>7</v></c></row>")
        << QByteArray() << QStringList{"", "Phone", "", "City"}
        << Rows{{"", "", "", "Oslo", "", "", "", "", "", "", "", "", "", "",
                 "", "", "", "",     "", "", "", "", "", "", "", "", "7"}};
    QTest::newRow("cells without references follow each other")
        << QByteArray("<row><c t=\"inlineStr\"><is><t>a</t></is></c><c r=\"C1\"><v>1</v></c>"
                      "<c><v>2</v></c></row><row><c><v>3</v></c></row>")
        << QByteArray() << QStringList{"a", "", "1", "2"} << Rows{{"3"}};
    QTest::newRow("blank rows above the header and below the last row are left out")
        << QByteArray("<row r=\"2\"><c r=\"A2\" s=\"3\"/></row><row r=\"3\"><c r=\"A3\" "
                      "t=\"inlineStr\"><is><t>Phone</t></is></c></row><row r=\"5\"><c "
                      "r=\"A5\"><v>1</v></c></row><row r=\"9\"><c r=\"A9\" s=\"1\"/></row>")
        << QByteArray() << QStringList{"Phone"} << Rows{{}, {"1"}};
}

void XlsxTableTest::cellKinds()
{
    QFETCH(QByteArray, sheetData);
    QFETCH(QByteArray, sharedStrings);
    QFETCH(QStringList, header);
    QFETCH(Rows, rows);
    const Table table = readXlsx(workbookOf(sheetData, sharedStrings));
    QCOMPARE(table.header, header);
    QCOMPARE(table.rows, rows);
}

void XlsxTableTest::notAWorkbook_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    const QString notZip =
        QStringLiteral("The file is not an Excel workbook (.xlsx): it is not a zip archive.");
    QTest::newRow("empty file") << QByteArray() << notZip;
    QTest::newRow("text renamed .xlsx") << QByteArray("Name,Phone\nAda,413-592-3823\n") << notZip;
    QTest::newRow("zip cut short") << workbookOf("<row/>").left(100) << notZip;
    QTest::newRow("zip without a workbook")
        << zipOf({{"word/document.xml", "<document/>"}})
        << "The file is not an Excel workbook (.xlsx): it has no xl/workbook.xml.";
    QTest::newRow("workbook without sheets")
        << zipOf({{"xl/workbook.xml", "<workbook><sheets/></workbook>"}})
        << "The workbook has no worksheet.";
    QTest::newRow("sheet the relationships do not name")
        << zipOf({{"xl/workbook.xml", "<workbook xmlns:r=\"urn:r\"><sheets><sheet "
                                      "r:id=\"rId1\"/></sheets></workbook>"}})
        << "The workbook's first worksheet is missing.";
    QTest::newRow("sheet not well-formed")
        << workbookOf("<row r=\"1\"><c><v>1</v></row>")
        << "The workbook's part xl/worksheets/first.xml is not well-formed XML (line 1: "
           "Opening and ending tag mismatch.).";
    QTest::newRow("shared text that is not there")
        << workbookOf("<row><c t=\"s\"><v>5</v></c></row>", "<si><t>a</t></si>")
        << "A cell of the first worksheet names a shared text that the workbook does not hold.";
    QTest::newRow("cell beyond the last column")
        << workbookOf("<row><c r=\"XFE1\"><v>1</v></c></row>")
        << "The first worksheet has a cell beyond column XFD.";
    QTest::newRow("row beyond the last row")
        << workbookOf("<row r=\"1048577\"><c><v>1</v></c></row>")
        << "The first worksheet has a row beyond row 1048576.";
    QTest::newRow("empty sheet") << workbookOf("<row r=\"1\"><c r=\"A1\" s=\"2\"/></row>")
                                 << "The first worksheet is empty: a table needs a header row.";
    // Each cell is a few bytes of XML but stands at the far end of its row.
    QByteArray wide;
    for (int r = 1; r <= 700; ++r)
        wide += "<row><c r=\"XFD" + QByteArray::number(r) + "\"><v>1</v></c></row>";
    QTest::newRow("cells that would fill memory")
        << workbookOf(wide)
        << QStringLiteral("The first worksheet has more than %1 cells; it is refused.")
               .arg(kMaxXlsxCells);
}

void XlsxTableTest::notAWorkbook()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    QCOMPARE(failureOf(bytes), message);
}

void XlsxTableTest::partDeclaringTenGigabytesIsRefusedUnread()
{
    const quint64 tenGigabytes = 10ULL * 1024 * 1024 * 1024;
    QCOMPARE(failureOf(zipDeclaring(tenGigabytes)),
             QStringLiteral("The workbook's part xl/workbook.xml says it unpacks to %1 bytes, "
                            "more than the %2 bytes a part may have; the file is refused.")
                 .arg(tenGigabytes)
                 .arg(XlsxArchive::kMaxPartBytes));
}

QTEST_GUILESS_MAIN(XlsxTableTest)
#include "tst_xlsxtable.moc"
