// Times what keeps the results across sessions and the two data exports, on
// the largest list the program handles, and prints the figures; it checks
// nothing.

#include "export/csvexport.h"
#include "export/journalformat.h"
#include "export/jsonlinesexport.h"
#include "export/resultsjournal.h"

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

    // Each row's cost on its own, as a run pays it: one append, timed singly.
    {
        ResultsJournal journal(dir.filePath(QStringLiteral("rows")));
        std::vector<qint64> nanos;
        nanos.reserve(kRows);
        quint64 id = 1;
        for (const ResultRecord& record : list) {
            QElapsedTimer timer;
            timer.start();
            journal.append(id++, record);
            nanos.push_back(timer.nsecsElapsed());
        }
        std::sort(nanos.begin(), nanos.end());
        std::printf("journal row write: median %.1f us  99th %.1f us  worst %.1f us\n",
                    double(nanos[nanos.size() / 2]) / 1e3,
                    double(nanos[nanos.size() * 99 / 100]) / 1e3, double(nanos.back()) / 1e3);
        std::printf("  journal size %lld bytes\n",
                    static_cast<long long>(QFileInfo(journal.fileName()).size()));
    }

    const auto writeAll = [&list](ResultsJournal& journal) {
        quint64 id = 1;
        for (const ResultRecord& record : list)
            journal.append(id++, record);
    };
    const QString folder = dir.filePath(QStringLiteral("restore"));
    QString kept;
    {
        ResultsJournal journal(folder);
        writeAll(journal);
        kept = journal.fileName();
    }
    qsizetype restored = 0;
    report("restore latest session (32,767 rows)", [&] {
        QFile file(kept);
        restored = file.open(QIODevice::ReadOnly) ? replayJournal(file.readAll()).size() : -1;
    });
    std::printf("  rows restored %lld\n", static_cast<long long>(restored));
    // A start reads each kept session to tell one with rows from one without.
    report("start with that session kept", [&] { ResultsJournal start(folder); });

    int replays = 0;
    report("replay restored rows into the journal", [&] {
        ResultsJournal journal(dir.filePath(QStringLiteral("replay%1").arg(++replays)));
        writeAll(journal);
    });

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
