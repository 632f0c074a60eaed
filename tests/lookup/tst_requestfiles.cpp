// A request with answer and header files of its own, as each of the command
// line's parallel slots makes them, with a stand-in tool instead of curl.

#include "lookup/curlstage.h"
#include "lookup/request.h"
#include "support/lookupfakes.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace quillmore;
using namespace quillmore::test;

namespace {

// Writes its answer file's name as the answer, and headers with a
// Retry-After where --dump-header says; reports the HTTP status 429.
const QByteArray kTool = QByteArrayLiteral(
    "#!/bin/sh\n"
    "out=\"\"; headers=\"\"; prev=\"\"\n"
    "for a in \"$@\"; do\n"
    "  [ \"$prev\" = \"--output\" ] && out=\"$a\"\n"
    "  [ \"$prev\" = \"--dump-header\" ] && headers=\"$a\"\n"
    "  prev=\"$a\"\n"
    "done\n"
    "cat > /dev/null\n"
    "printf 'HTTP/1.1 429 Too Many Requests\\r\\nRetry-After: 7\\r\\n\\r\\n' > \"$headers\"\n"
    "basename \"$out\" > \"$out\"\n"
    "printf 429\n");

} // namespace

class TestRequestFiles : public QObject
{
    Q_OBJECT
private slots:
    void filesOfItsOwn();
};

void TestRequestFiles::filesOfItsOwn()
{
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    LookupConfig config =
        testLookupConfig(QStringLiteral("https://service.invalid"), QByteArrayLiteral("BUNDLE"),
                         temp.path(), std::make_shared<RecordingPauses>());
    config.curlBytes = [] { return kTool; };
    CurlStage stage;
    stage.stage(config);
    CurlRequest request(stage, config);
    request.setFileNames(QStringLiteral("answer-3.txt"), QStringLiteral("headers-3.txt"));
    QSignalSpy answered(&request, &CurlRequest::answered);
    QSignalSpy failed(&request, &CurlRequest::failed);
    request.start(QStringLiteral("4135923823"), QStringLiteral("k"));
    QVERIFY(request.isBusy());
    QVERIFY(answered.wait(30000));
    QVERIFY(!request.isBusy());
    QCOMPARE(answered.constFirst().at(0).toString(), QStringLiteral("answer-3.txt "));
    QCOMPARE(answered.constFirst().at(1).toInt(), 429);
    QVERIFY(request.headers().contains("Retry-After: 7\r\n"));
    QVERIFY(failed.isEmpty());
    // Nothing of the answer stays beside the staged tool.
    QVERIFY(!folderEntries(stage.folder()).contains(QStringLiteral("answer-3.txt")));
    QVERIFY(!folderEntries(stage.folder()).contains(QStringLiteral("headers-3.txt")));
    // The next request starts without the last one's headers.
    request.start(QStringLiteral("4135923823"), QStringLiteral("k"));
    QVERIFY(request.headers().isEmpty());
    request.end();
    QVERIFY(!request.isBusy());
    stage.remove();
    QCOMPARE(folderEntries(temp.path()), QStringList());
}

QTEST_GUILESS_MAIN(TestRequestFiles)
#include "tst_requestfiles.moc"
