// The command-line program's parts: the command line, the rate-limit waits,
// the pacing of --rate, the tries a failed transfer earns, the key file,
// the run journal and the ordered output, and their failures.

#include "cli/clioptions.h"
#include "cli/keysource.h"
#include "cli/orderedoutput.h"
#include "cli/pooledrequest.h"
#include "cli/ratelimit.h"
#include "cli/ratepacer.h"
#include "cli/runjournal.h"
#include "export/csvexport.h"
#include "export/journalformat.h"
#include "export/jsonlinesexport.h"
#include "export/textexport.h"
#include "numbers/phonenumbers.h"
#include "shell/errorreport.h"
#include "support/scripteddialogs.h"
#include "support/tmpfsmount.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillmore;
using namespace quillmore::cli;
using namespace std::chrono_literals;

namespace {

QList<ResultRecord> sampleRecords()
{
    return {
        {QStringLiteral("4135923823"),
         {"4135923823", "Landline", "Margaret A Ellison", "418 Northampton St, Holyoke", "Verizon",
          "Active"},
         QStringLiteral("{\"phone_number\":\"4135923823\",\"x\":[1,2]}"),
         false},
        {QStringLiteral("=1+2"),
         {"=1+2", "", "Name, with \"quotes\"", "", "", "Empty answer"},
         QStringLiteral("empty file"),
         false},
        {QStringLiteral("(503) 235-3968"),
         {"5032353968", "Mobile", "J\u00fcrgen M\u00fcller \U0001F600", "Malm\u00f6", "Telia",
          "Inactive"},
         QStringLiteral("line\twith tab and \u00fc"),
         false},
    };
}

} // namespace

class TestCliParts : public QObject
{
    Q_OBJECT

private slots:
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("error"); // a part of the message; empty: accepted
        QTest::addColumn<int>("parallel");
        QTest::addColumn<double>("pauseMin");
        QTest::addColumn<double>("pauseMax");
        QTest::addColumn<QStringList>("files");
        QTest::newRow("defaults") << QStringList{} << "" << 1 << 3.0 << 6.0 << QStringList{};
        QTest::newRow("all set") << QStringList{"--parallel", "16", "--pause=0", "a", "-", "b"}
                                 << "" << 16 << 0.0 << 0.0 << QStringList{"a", "-", "b"};
        QTest::newRow("range") << QStringList{"--pause", "0.5-2"} << "" << 1 << 0.5 << 2.0
                               << QStringList{};
        QTest::newRow("after --") << QStringList{"--", "--quiet"} << "" << 1 << 3.0 << 6.0
                                  << QStringList{"--quiet"};
        QTest::newRow("parallel 0")
            << QStringList{"--parallel", "0"} << "1 to 16" << 1 << 3.0 << 6.0 << QStringList{};
        QTest::newRow("parallel 17")
            << QStringList{"--parallel=17"} << "1 to 16" << 1 << 3.0 << 6.0 << QStringList{};
        QTest::newRow("reversed pause")
            << QStringList{"--pause", "6-3"} << "MIN-MAX" << 1 << 3.0 << 6.0 << QStringList{};
        QTest::newRow("negative pause")
            << QStringList{"--pause", "-1"} << "MIN-MAX" << 1 << 3.0 << 6.0 << QStringList{};
        // Read as numbers, but none: NaN would pass every range check.
        for (const char* notFinite :
             {"nan", "NaN", "inf", "-inf", "1e999", "0-nan", "nan-5", "1-inf", "0-1e999"})
            QTest::addRow("pause %s", notFinite) << QStringList{"--pause", notFinite} << "MIN-MAX"
                                                 << 1 << 3.0 << 6.0 << QStringList{};
        QTest::newRow("missing value")
            << QStringList{"--output"} << "needs a value" << 1 << 3.0 << 6.0 << QStringList{};
        QTest::newRow("no key option") << QStringList{"--api-key=abc"} << "other users can read"
                                       << 1 << 3.0 << 6.0 << QStringList{};
        QTest::newRow("unknown") << QStringList{"--fast"} << "Unknown option --fast" << 1 << 3.0
                                 << 6.0 << QStringList{};
        QTest::newRow("flag with value")
            << QStringList{"--quiet=yes"} << "takes no value" << 1 << 3.0 << 6.0 << QStringList{};
    }

    void commandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        const ParsedOptions parsed = parseOptions(args);
        if (!error.isEmpty()) {
            QVERIFY2(parsed.error.contains(error), qPrintable(parsed.error));
            return;
        }
        QCOMPARE(parsed.error, QString());
        QTEST(parsed.options.parallel, "parallel");
        QTEST(parsed.options.pauseMin, "pauseMin");
        QTEST(parsed.options.pauseMax, "pauseMax");
        QTEST(parsed.options.files, "files");
    }

    void rateLimitWaits()
    {
        const QDateTime now(QDate(2026, 12, 8), QTime(14, 0, 0), QTimeZone::utc());
        QCOMPARE(retryAfterDelay(QStringLiteral("7"), now), std::optional(7000ms));
        QCOMPARE(retryAfterDelay(QStringLiteral(" 0 "), now), std::optional(0ms));
        QCOMPARE(retryAfterDelay(QStringLiteral("Tue, 08 Dec 2026 14:00:30 GMT"), now),
                 std::optional(30000ms));
        // A date already past: no wait; a wait beyond an hour is held to one.
        QCOMPARE(retryAfterDelay(QStringLiteral("Tue, 08 Dec 2026 13:00:00 GMT"), now),
                 std::optional(0ms));
        QCOMPARE(retryAfterDelay(QStringLiteral("999999"), now),
                 std::optional<std::chrono::milliseconds>(1h));
        QCOMPARE(retryAfterDelay(QString(), now), std::nullopt);
        QCOMPARE(retryAfterDelay(QStringLiteral("soon"), now), std::nullopt);
        QCOMPARE(retryAfterDelay(QStringLiteral("-5"), now), std::nullopt);

        // 1 s doubling to 60 s, scaled by the jitter.
        const QList<qint64> full = {1000, 2000, 4000, 8000, 16000, 32000, 60000, 60000};
        for (int n = 1; n <= 8; ++n) {
            QCOMPARE(backoffDelay(n, 1.0).count(), full.at(n - 1));
            QCOMPARE(backoffDelay(n, 0.5).count(), full.at(n - 1) / 2);
        }

        // The last answer's status and Retry-After count, a 100 Continue's do not.
        const AnswerHeaders h = parseHeaders("HTTP/1.1 100 Continue\r\nRetry-After: 9\r\n\r\n"
                                             "HTTP/2 429\r\nretry-after: 5\r\nX: y\r\n\r\n");
        QCOMPARE(h.status, 429);
        QCOMPARE(h.retryAfter, QStringLiteral("5"));
        const AnswerHeaders ok = parseHeaders("HTTP/1.1 429 Too Many\r\nRetry-After: 3\r\n\r\n"
                                              "HTTP/1.1 200 OK\r\n\r\n");
        QCOMPARE(ok.status, 200);
        QCOMPARE(ok.retryAfter, QString());
    }

    void rateAndFailureLimits()
    {
        const ParsedOptions defaults = parseOptions({});
        QCOMPARE(defaults.options.rate, 0.0);
        QCOMPARE(defaults.options.maxFailures, 20);
        const ParsedOptions set =
            parseOptions({QStringLiteral("--rate"), QStringLiteral("0.5"),
                          QStringLiteral("--max-failures=0"), QStringLiteral("in.txt")});
        QCOMPARE(set.error, QString());
        QCOMPARE(set.options.rate, 0.5);
        QCOMPARE(set.options.maxFailures, 0);
        QCOMPARE(set.options.files, QStringList{QStringLiteral("in.txt")});
    }

    void ratePacerSpreadsRequests_data()
    {
        QTest::addColumn<double>("rate");
        QTest::addColumn<QList<int>>("sent"); // ms, each at a time it was allowed
        QTest::addColumn<int>("askAt");
        QTest::addColumn<int>("wait");
        QTest::newRow("no limit") << 0.0 << QList<int>{0, 0, 0} << 0 << 0;
        QTest::newRow("first goes at once") << 5.0 << QList<int>{} << 123 << 0;
        QTest::newRow("two a second") << 2.0 << QList<int>{0} << 100 << 400;
        QTest::newRow("fraction of one") << 0.5 << QList<int>{0} << 1 << 1999;
        QTest::newRow("due at once") << 2.0 << QList<int>{0, 500} << 1000 << 0;
        QTest::newRow("idle spell earns no burst") << 2.0 << QList<int>{0, 5000} << 5000 << 500;
        QTest::newRow("late start counts from itself") << 4.0 << QList<int>{0, 900} << 1000 << 150;
        QTest::newRow("thirds round up") << 3.0 << QList<int>{0} << 0 << 334;
    }

    void ratePacerSpreadsRequests()
    {
        QFETCH(double, rate);
        QFETCH(QList<int>, sent);
        QFETCH(int, askAt);
        QFETCH(int, wait);
        RatePacer pacer(rate);
        for (const int at : sent) {
            QCOMPARE(pacer.wait(std::chrono::milliseconds(at)), 0ms);
            pacer.sent(std::chrono::milliseconds(at));
        }
        QCOMPARE(pacer.wait(std::chrono::milliseconds(askAt)), std::chrono::milliseconds(wait));
    }

    void failedTriesByWhetherTheyReachedTheService_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("requestSent");
        QTest::addColumn<bool>("maybeAnswered");
        QTest::newRow("cannot resolve") << int(CURLE_COULDNT_RESOLVE_HOST) << false << false;
        QTest::newRow("cannot resolve proxy") << int(CURLE_COULDNT_RESOLVE_PROXY) << false << false;
        QTest::newRow("refused") << int(CURLE_COULDNT_CONNECT) << false << false;
        QTest::newRow("handshake") << int(CURLE_SSL_CONNECT_ERROR) << true << false;
        QTest::newRow("certificate") << int(CURLE_PEER_FAILED_VERIFICATION) << false << false;
        QTest::newRow("cut off") << int(CURLE_PARTIAL_FILE) << true << true;
        QTest::newRow("reset") << int(CURLE_RECV_ERROR) << true << true;
        QTest::newRow("empty reply") << int(CURLE_GOT_NOTHING) << true << true;
        QTest::newRow("timed out answering") << int(CURLE_OPERATION_TIMEDOUT) << true << true;
        QTest::newRow("timed out connecting") << int(CURLE_OPERATION_TIMEDOUT) << false << false;
    }

    void failedTriesByWhetherTheyReachedTheService()
    {
        QFETCH(int, code);
        QFETCH(bool, requestSent);
        QFETCH(bool, maybeAnswered);
        QCOMPARE(tryFailure(CURLcode(code), requestSent) == TryFailure::MaybeAnswered,
                 maybeAnswered);
    }

    void keyFileMustBeOwnerOnly_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("key"); // empty: refused
        QTest::newRow("0600") << 0600 << QByteArray("  secret-key \r\nnext\n") << "secret-key";
        QTest::newRow("0400") << 0400 << QByteArray("secret-key") << "secret-key";
        QTest::newRow("group reads") << 0640 << QByteArray("secret-key\n") << "";
        QTest::newRow("others read") << 0604 << QByteArray("secret-key\n") << "";
        QTest::newRow("group writes") << 0620 << QByteArray("secret-key\n") << "";
        QTest::newRow("empty first line") << 0600 << QByteArray("\nsecret-key\n") << "";
    }

    void keyFileMustBeOwnerOnly()
    {
        QFETCH(int, mode);
        QFETCH(QByteArray, content);
        QFETCH(QString, key);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("key"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode_t(mode)), 0);
        try {
            QCOMPARE(readKeyFile(path), key);
            QVERIFY(!key.isEmpty());
        } catch (const Failure& failure) {
            QVERIFY2(key.isEmpty(), qPrintable(failure.description()));
            QVERIFY(failure.description().contains(QDir::toNativeSeparators(path)));
        }
        // A folder is no key file either.
        QVERIFY_THROWS_EXCEPTION(Failure, readKeyFile(dir.path()));
    }

    void keyFileThatIsNoPlainFileIsNotOpened_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("FIFO") << "fifo";
        QTest::newRow("device") << "device";
        QTest::newRow("link to a FIFO") << "link";
    }

    void keyFileThatIsNoPlainFileIsNotOpened()
    {
        // Opening a FIFO for reading waits for a writer: a run given one must
        // say no at once rather than wait forever.
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QString fifo = dir.filePath(QStringLiteral("key"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QString path = fifo;
        if (kind == u"device") {
            path = QStringLiteral("/dev/null");
        } else if (kind == u"link") {
            path = dir.filePath(QStringLiteral("link"));
            QVERIFY(QFile::link(fifo, path));
        }
        try {
            readKeyFile(path);
            QFAIL("refused no key file");
        } catch (const Failure& failure) {
            QCOMPARE(failure.description(),
                     QStringLiteral("The key file %1 is refused: it is not a plain file.")
                         .arg(QDir::toNativeSeparators(path)));
        }
    }

    void journalLinesAreTheDesktopJournals()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("runs/run.journal"));
        const QList<ResultRecord> records = sampleRecords();
        QList<qint64> offsets;
        {
            RunJournal journal(path);
            journal.open();
            for (const ResultRecord& record : records)
                offsets << journal.append(record);
            QCOMPARE(journal.readAt(offsets.at(1))->cells, records.at(1).cells);
            // A second run cannot take the same journal.
            RunJournal other(path);
            QVERIFY_THROWS_EXCEPTION(Failure, other.open());
        }
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther),
                 QFileDevice::Permissions());
        // The desktop's journal reader reads the same rows back.
        const QList<ResultRecord> replayed = replayJournal(file.readAll());
        file.close();
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Append));
        QCOMPARE(replayed.size(), records.size());
        for (qsizetype i = 0; i < records.size(); ++i) {
            QCOMPARE(replayed.at(i).number, records.at(i).number);
            QCOMPARE(replayed.at(i).cells, records.at(i).cells);
            QCOMPARE(replayed.at(i).answer, records.at(i).answer);
        }
        // A killed run's torn line is cut off before anything is added.
        file.write("{\"op\":\"append\",\"number\":\"12");
        file.close();
        RunJournal reopened(path);
        reopened.open();
        QList<qint64> seen;
        reopened.scan([&](qint64 offset, ResultRecord&&) { seen << offset; });
        QCOMPARE(seen, offsets);
        const qint64 next = reopened.append(records.at(0));
        QVERIFY(reopened.readAt(next).has_value());
        QCOMPARE(reopened.readAt(next)->number, records.at(0).number);
    }

    void rowTheJournalCannotGiveBackIsNotThere()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("j"));
        RunJournal journal(path);
        journal.open();
        const QList<ResultRecord> records = sampleRecords();
        QList<qint64> offsets;
        for (const ResultRecord& record : records)
            offsets << journal.append(record);
        {
            // The middle line is no longer one the journal can read.
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.seek(offsets.at(1)));
            QCOMPARE(file.write("X"), 1);
        }
        for (const int format : {int(OutputFormat::Csv), int(OutputFormat::Text)}) {
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            const PhoneNumbers phone(QStringLiteral("US"));
            OrderedOutput output(OutputFormat(format), buffer, journal, phone, records.size());
            for (qsizetype i = 0; i < records.size(); ++i)
                output.addRow(i, offsets.at(i), nullptr);
            output.finish();
            QVERIFY(output.hasRow(0));
            QVERIFY(!output.hasRow(1));
            QVERIFY(output.hasRow(2));
            QCOMPARE(output.unreadableRows(), 1);
            QVERIFY(bytes.contains("5032353968"));
            QVERIFY(!bytes.contains("Name, with"));
        }
    }

    void journalOnAFullDiskIsToldAndKept()
    {
        QTemporaryDir dir;
        const test::TmpfsMount disk(dir.filePath(QStringLiteral("disk")),
                                    QStringLiteral("size=64k"));
        if (!disk.isMounted())
            QSKIP(test::kTmpfsSkipReason);
        const QString path = disk.filePath(QStringLiteral("run.journal"));
        // Room for the lock file and nothing more.
        QVERIFY(disk.fill(4096));
        RunJournal journal(path);
        journal.open();
        try {
            journal.append(sampleRecords().at(0));
            QFAIL("a row went into a full journal");
        } catch (const Failure& failure) {
            QCOMPARE(failure.description(),
                     QStringLiteral("The run's journal %1 cannot be written: No space left on "
                                    "device")
                         .arg(path));
        }
        QVERIFY(journal.hasFailed());
        journal.discard();
        QVERIFY(QFileInfo::exists(path));
        QVERIFY(!QFileInfo::exists(path + QStringLiteral(".lock")));
    }

    void lineThatCannotBeCutOffStopsTheJournal()
    {
        QTemporaryDir dir;
        const test::TmpfsMount disk(dir.filePath(QStringLiteral("disk")),
                                    QStringLiteral("size=64k"));
        if (!disk.isMounted())
            QSKIP(test::kTmpfsSkipReason);
        const QString path = disk.filePath(QStringLiteral("run.journal"));
        RunJournal journal(path);
        journal.open();
        const QList<ResultRecord> records = sampleRecords();
        QList<qint64> offsets;
        while (QFileInfo(path).size() < 3500)
            offsets << journal.append(records.at(offsets.size() % records.size()));
        // The next line needs a page the disk no longer has, and the file
        // may only grow: the part that went in stays.
        QVERIFY(disk.fill());
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        QVERIFY(fd >= 0);
        const auto closeFd = qScopeGuard([&] { ::close(fd); });
        int flags = 0;
        if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0 ||
            (flags |= FS_APPEND_FL, ::ioctl(fd, FS_IOC_SETFLAGS, &flags)) != 0)
            QSKIP("This file system cannot make a file append-only");
        const auto writable = qScopeGuard([&] {
            flags &= ~FS_APPEND_FL;
            ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
        });
        ResultRecord large = records.at(0);
        large.answer = QString(2000, u'a');
        const QString told = QStringLiteral("The run's journal %1 cannot be written: disk full "
                                            "(its last line cannot be cut off: Operation not "
                                            "permitted)")
                                 .arg(path);
        for (int attempt = 0; attempt < 2; ++attempt) {
            try {
                journal.append(large);
                QFAIL("a row went in after a line that could not be cut off");
            } catch (const Failure& failure) {
                QCOMPARE(failure.description(), told);
            }
            // Room again changes nothing: the next line would be glued on.
            QFile::remove(disk.filePath(QStringLiteral("filler")));
        }
        for (const qint64 offset : offsets)
            QVERIFY(journal.readAt(offset).has_value());
        journal.discard();
        QVERIFY(QFileInfo::exists(path));
    }

    void orderedOutputIsTheDesktopFiles_data()
    {
        QTest::addColumn<int>("format");
        QTest::newRow("csv") << int(OutputFormat::Csv);
        QTest::newRow("jsonl") << int(OutputFormat::JsonLines);
        QTest::newRow("text") << int(OutputFormat::Text);
    }

    void orderedOutputIsTheDesktopFiles()
    {
        QFETCH(int, format);
        QTemporaryDir dir;
        RunJournal journal(dir.filePath(QStringLiteral("j")));
        journal.open();
        const QList<ResultRecord> records = sampleRecords();
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        const PhoneNumbers phone(QStringLiteral("US"));
        OrderedOutput output(OutputFormat(format), buffer, journal, phone, records.size());
        // Answers come last first; one row only in memory, as when the journal failed.
        output.addRow(2, journal.append(records.at(2)), &records.at(2));
        output.addRow(1, -1, &records.at(1));
        if (format != int(OutputFormat::Text))
            QCOMPARE(bytes.size(), 0); // the first row is still missing
        output.addRow(0, journal.append(records.at(0)), &records.at(0));
        output.finish();

        ReportTable table;
        table.headers = kResultCaptions;
        for (const ResultRecord& record : records)
            table.rows << ReportTable::Row{record.cells, true};
        QByteArray expected;
        if (format == int(OutputFormat::Csv)) {
            expected = resultsCsvBytes(table);
        } else if (format == int(OutputFormat::JsonLines)) {
            expected = resultsJsonLinesBytes(kResultCaptions, records, phone);
        } else {
            test::ScriptedDialogs dialogs;
            const QString file = dir.filePath(QStringLiteral("aligned.txt"));
            saveListviewProperlySpaced(table, file, nullptr, dialogs);
            QFile saved(file);
            QVERIFY(saved.open(QIODevice::ReadOnly));
            expected = saved.readAll();
        }
        QCOMPARE(bytes, expected);
    }
};

QTEST_GUILESS_MAIN(TestCliParts)
#include "tst_cliparts.moc"
