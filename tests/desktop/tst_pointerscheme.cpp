#include "desktop/pointerscheme.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QTest>

using namespace quillmore;

class TestPointerScheme : public QObject
{
    Q_OBJECT
private slots:
    void curFileGivesCursorWithHotSpot();
};

void TestPointerScheme::curFileGivesCursorWithHotSpot()
{
    // Make a cursor file the way Windows stores one: an icon whose type field
    // says cursor and whose entry carries the hot spot.
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(QImageWriter(&buffer, "ico").write(image));
    bytes[2] = 2;
    bytes[10] = 5; // hot spot x
    bytes[11] = 0;
    bytes[12] = 9; // hot spot y
    bytes[13] = 0;
    QTemporaryDir dir;
    QFile cur(dir.filePath("HAND-M.CUR"));
    QVERIFY(cur.open(QIODevice::WriteOnly));
    cur.write(bytes);
    cur.close();
    const auto cursor = loadCurFile(cur.fileName());
    QVERIFY(cursor.has_value());
    QCOMPARE(cursor->hotSpot(), QPoint(5, 9));
    QCOMPARE(cursor->pixmap().size(), QSize(32, 32));

    QVERIFY(!loadCurFile(dir.filePath("missing.cur")).has_value());
    QFile junk(dir.filePath("junk.cur"));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("not a cursor at all, just text");
    junk.close();
    QVERIFY(!loadCurFile(junk.fileName()).has_value());
}

QTEST_MAIN(TestPointerScheme)
#include "tst_pointerscheme.moc"
