#pragma once

// Runs the command-line program (its test build, pointed at the local
// stand-in service) as a user would, with its own home folders.

#include "support/fakeservice.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

namespace quillmore::test {

// The number the stand-in service answers slowly.
inline const QString kSlow = QStringLiteral("5550000001");

// Numbers as an input file holds them, one a line.
inline QByteArray lines(const QStringList& numbers)
{
    return numbers.join(u'\n').toUtf8() + '\n';
}

// The first cell of every CSV row after the header.
inline QStringList csvNumbers(const QByteArray& csv)
{
    QStringList numbers;
    const QList<QByteArray> all = csv.split('\n');
    for (qsizetype i = 1; i < all.size(); ++i)
        if (!all.at(i).trimmed().isEmpty())
            numbers << QString::fromUtf8(all.at(i).left(all.at(i).indexOf(',')));
    return numbers;
}

inline QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

struct CliResult
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

class CliFixture
{
public:
    QTemporaryDir work;
    FakeService service;

    bool start(int slowSeconds = 2)
    {
        return work.isValid() && service.start(work.path(), slowSeconds);
    }

    QString path(const QString& name) const { return QDir(work.path()).filePath(name); }

    // Each test starts with no history, settings or staged files of another.
    void clearHomes() const
    {
        for (const char* folder : {"data", "config", "temp"})
            QDir(path(QString::fromLatin1(folder))).removeRecursively();
    }

    QProcessEnvironment environment(const QString& key = QStringLiteral("test-key")) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QUILLMORE_TEST_SERVICE_URL"), service.baseUrl());
        env.insert(QStringLiteral("QUILLMORE_TEST_CA_BUNDLE"), service.caPath());
        env.insert(QStringLiteral("XDG_DATA_HOME"), path(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), path(QStringLiteral("cache")));
        env.insert(QStringLiteral("TEMP"), path(QStringLiteral("temp")));
        QDir().mkpath(path(QStringLiteral("temp")));
        env.remove(QStringLiteral("QUILLMORE_API_KEY"));
        if (!key.isNull())
            env.insert(QStringLiteral("QUILLMORE_API_KEY"), key);
        return env;
    }

    // Starts the program; the caller waits for it.
    void launch(QProcess& process, const QStringList& arguments, const QProcessEnvironment& env,
                const QByteArray& input = {}) const
    {
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(QUILLMORE_CLI_EXECUTABLE), arguments);
        QVERIFY(process.waitForStarted(10000));
        process.write(input);
        process.closeWriteChannel();
    }

    CliResult run(const QStringList& arguments, const QProcessEnvironment& env,
                  const QByteArray& input = {}) const
    {
        QProcess process;
        launch(process, arguments, env, input);
        CliResult result;
        if (!process.waitForFinished(90000)) {
            process.kill();
            process.waitForFinished();
        }
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.out = process.readAllStandardOutput();
        result.err = process.readAllStandardError();
        return result;
    }

    // The phone values the service saw from request `from` on.
    QStringList phonesSince(qsizetype from) const
    {
        QStringList phones;
        const QList<LoggedRequest> all = service.requests();
        for (qsizetype i = from; i < all.size(); ++i)
            phones << all.at(i).phone;
        return phones;
    }
};

} // namespace quillmore::test
