// Forgotten numbers leave the journals of earlier versions that stay in the
// data folder after the history took them in, and those files still read
// as they did for every other row.
#include "export/journalformat.h"
#include "history/journalforget.h"
#include "numbers/phonenumbers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace quillmore;

namespace {

const QString kSecret = QStringLiteral("Margaret Quintessential-Erasable");

QByteArray append(std::optional<quint64> id, const QString& number)
{
    const QString digits = QString(number).remove(QRegularExpression(QStringLiteral("[^0-9]")));
    const QString name = number.contains(u"592") ? kSecret : QStringLiteral("Kept Person");
    return journalAppendLine(id, ResultRecord{number,
                                              {number, "Mobile", name, {}, {}, "Active"},
                                              QStringLiteral("{\"phone_number\":\"%1\",\"name\":"
                                                             "\"%2\"}")
                                                  .arg(digits, name),
                                              false});
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QStringList numbersOf(const QList<ResultRecord>& rows)
{
    QStringList numbers;
    for (const ResultRecord& row : rows)
        numbers << row.number;
    return numbers;
}

} // namespace

class TestJournalForget : public QObject
{
    Q_OBJECT

private slots:
    void forgottenRowsLeaveTheFile_data()
    {
        QTest::addColumn<QString>("name");       // the file, in the data folder
        QTest::addColumn<QByteArray>("journal"); // what it held
        QTest::addColumn<QStringList>("keys");   // the forgotten numbers' keys
        QTest::addColumn<QStringList>("left");   // the rows it rebuilds after
        QTest::addColumn<int>("removed");        // of them, rows it rebuilt before

        const QStringList e164 = {"+14135923823", "4135923823"};
        QTest::newRow("desktop session, rows named by id")
            << "results-3.journal.imported"
            << append(1, "413.592.3823") + append(2, "2000000101") + journalRemoveLine(2) +
                   append(3, "2000000102") + append(4, "+1 (413) 592-3823")
            << e164 << QStringList{"2000000102"} << 2;
        QTest::newRow("earlier layout, removals by position")
            << "results.journal.previous.imported"
            << append(std::nullopt, "2000000201") + append(std::nullopt, "(413) 592-3823") +
                   append(std::nullopt, "2000000202") +
                   R"({"op":"remove","index":0})"
                   "\n" +
                   append(std::nullopt, "2000000203")
            << e164 << QStringList{"2000000202", "2000000203"} << 1;
        QTest::newRow("command-line run, another spelling")
            << "runs/0123abcd.journal.imported"
            << append(std::nullopt, "2000000301") + append(std::nullopt, "+1 413-592-3823") << e164
            << QStringList{"2000000301"} << 1;
        QTest::newRow("restored session, a removed row of the number too")
            << "results-2.journal.restored"
            << append(1, "4135923823") + journalRemoveLine(1) + append(2, "2000000401") << e164
            << QStringList{"2000000401"} << 0;
        // Without an E.164 form the history matched by the digits sent.
        QTest::newRow("number without E.164 form")
            << "results-4.journal.imported" << append(1, "1-11-592") + append(2, "2000000501")
            << QStringList{"111592"} << QStringList{"2000000501"} << 1;
    }

    void forgottenRowsLeaveTheFile()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, journal);
        QFETCH(QStringList, keys);
        QFETCH(QStringList, left);
        QFETCH(int, removed);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        QVERIFY(writeFile(path, journal));
        // A journal the history has not taken in is not this job's: it goes
        // into the history first, and a running run holds it.
        const QString live = dir.filePath(QStringLiteral("runs/live.journal"));
        QVERIFY(writeFile(live, journal));
        const QByteArray other = append(1, "2000000999");
        QVERIFY(writeFile(dir.filePath(QStringLiteral("results-9.journal.imported")), other));

        const PhoneNumbers numbers(QStringLiteral("US"));
        const JournalForget done =
            forgetInJournals(dir.path(), QSet<QString>(keys.begin(), keys.end()), numbers);
        QCOMPARE(done.failures, QStringList());
        QCOMPARE(done.files, 1);
        QCOMPARE(done.rows, removed);
        const QByteArray after = readAll(path);
        QCOMPARE(numbersOf(replayJournal(after)), left);
        QVERIFY2(!after.contains(kSecret.toUtf8()), after.constData());
        QVERIFY(!after.contains("592"));
        QCOMPARE(readAll(live), journal);
        QCOMPARE(readAll(dir.filePath(QStringLiteral("results-9.journal.imported"))), other);
        // Asked again, there is nothing left to take out.
        QCOMPARE(
            forgetInJournals(dir.path(), QSet<QString>(keys.begin(), keys.end()), numbers).files,
            0);
    }

    void fileThatCannotBeRewrittenIsTold()
    {
        if (::geteuid() != 0)
            QSKIP("Mounting a read-only folder needs root.");
        QTemporaryDir dir;
        const QString runs = dir.filePath(QStringLiteral("runs"));
        QVERIFY(QDir().mkpath(runs));
        if (QProcess::execute(QStringLiteral("mount"),
                              {"-t", "tmpfs", "-o", "size=64k", "tmpfs", runs}) != 0)
            QSKIP("A tmpfs cannot be mounted here.");
        const QString path = runs + QStringLiteral("/0123abcd.journal.imported");
        const QByteArray journal = append(std::nullopt, "4135923823");
        const bool written = writeFile(path, journal);
        const int remounted =
            QProcess::execute(QStringLiteral("mount"), {"-o", "remount,ro", runs});
        const QString ok = dir.filePath(QStringLiteral("results-1.journal.imported"));
        QVERIFY(writeFile(ok, journal + append(2, "2000000601")));
        const JournalForget done = forgetInJournals(dir.path(), {QStringLiteral("+14135923823")},
                                                    PhoneNumbers(QStringLiteral("US")));
        const QByteArray after = readAll(path);
        QProcess::execute(QStringLiteral("umount"), {runs});
        QVERIFY(written);
        QCOMPARE(remounted, 0);
        QCOMPARE(done.failures.size(), 1);
        QVERIFY2(
            done.failures.at(0).startsWith(
                QStringLiteral("The forgotten numbers are still in %1: Could not save ").arg(path)),
            qPrintable(done.failures.at(0)));
        QCOMPARE(after, journal);
        // The other file is still done.
        QCOMPARE(done.files, 1);
        QCOMPARE(numbersOf(replayJournal(readAll(ok))), QStringList{"2000000601"});
    }
};

QTEST_GUILESS_MAIN(TestJournalForget)
#include "tst_journalforget.moc"
