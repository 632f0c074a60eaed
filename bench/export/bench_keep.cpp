// Times the two data exports on the largest list the program handles, and
// prints the figures; it checks nothing. What keeps the results across
// sessions, the lookup history, has its figures in bench_history and
// bench_startup.

#include "export/csvexport.h"
#include "export/jsonlinesexport.h"

#include "benchreport.h"
#include <QCoreApplication>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace quillmore;

namespace {

constexpr int kRows = 32767;
constexpr int kRuns = 5;

const QStringList kCaptions{"Phone Number", "Type", "Name", "Location", "Provider", "Status"};

// An answer of the size the service sends for one phone, about 1.5 KB.
QString answerFor(int r)
{
    QString answer =
        QStringLiteral("{\"id\":\"Phone.%1\",\"phone_number\":\"555%1\",\"is_valid\":true,"
                       "\"country_calling_code\":\"1\",\"line_type\":\"Mobile\",\"carrier\":"
                       "\"Carrier Wireless %2\",\"is_prepaid\":false,\"is_commercial\":false,"
                       "\"belongs_to\":{\"id\":\"Person.%1\",\"name\":\"Firstname Lastname %1\","
                       "\"firstname\":\"Firstname\",\"lastname\":\"Lastname %1\",\"type\":"
                       "\"Person\"},\"current_addresses\":[{\"street_line_1\":\"%1 Main St\","
                       "\"city\":\"Springfield\",\"postal_code\":\"01234\",\"state_code\":\"MA\","
                       "\"country_code\":\"US\",\"lat_long\":{\"latitude\":42.1,\"longitude\":"
                       "-72.5,\"accuracy\":\"RoofTop\"}}],\"warnings\":[],\"note\":\"")
            .arg(r, 7, 10, QLatin1Char('0'))
            .arg(r % 40);
    answer += QString(900, QLatin1Char('x'));
    answer += QStringLiteral("\"}");
    return answer;
}

QList<ResultRecord> records()
{
    QList<ResultRecord> list;
    list.reserve(kRows);
    for (int r = 0; r < kRows; ++r) {
        const QString number = QStringLiteral("(555) %1").arg(r, 7, 10, QLatin1Char('0'));
        list.append(ResultRecord{
            number,
            {number, r % 3 ? "Mobile" : "Landline", QStringLiteral("Firstname Lastname %1").arg(r),
             QStringLiteral("%1 Main St, Springfield, 01234, MA, US").arg(r),
             QStringLiteral("Carrier Wireless %1").arg(r % 40), r % 5 ? "Active" : "Inactive"},
            answerFor(r),
            true});
    }
    return list;
}

ReportTable tableOf(const QList<ResultRecord>& list)
{
    ReportTable table;
    table.headers = kCaptions;
    for (const ResultRecord& record : list)
        table.rows.append(ReportTable::Row{record.cells, record.ticked});
    return table;
}

} // namespace

using quillmore::bench::report;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QList<ResultRecord> list = records();
    std::printf("%d rows, answers of about %lld characters, %d runs each\n", kRows,
                static_cast<long long>(list.front().answer.size()), kRuns);

    const ReportTable table = tableOf(list);
    const QString csv = dir.filePath(QStringLiteral("results.csv"));
    report("CSV file (saveResultsAsCsv)", [&] { saveResultsAsCsv(table, csv); });
    std::printf("  file size %lld bytes\n", static_cast<long long>(QFileInfo(csv).size()));

    const QString jsonl = dir.filePath(QStringLiteral("results.jsonl"));
    report("JSON Lines file (saveResultsAsJsonLines)",
           [&] { saveResultsAsJsonLines(kCaptions, list, PhoneNumbers("US"), jsonl); });
    std::printf("  file size %lld bytes\n", static_cast<long long>(QFileInfo(jsonl).size()));
    return 0;
}
