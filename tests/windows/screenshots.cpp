// Renders both windows (and the program icon's PNG sizes) to files, so the
// layout can be looked at without a display:
//   quillmore_screenshots OUTDIR [--dark] [--icons ICONDIR]
// --dark renders them under a dark theme, as main-window-dark.png and
// key-window-dark.png.
#include "support/darkpalette.h"
#include "support/windowcontrols.h"
#include "support/windowfixture.h"
#include "windows/keywindow.h"
#include "windows/mainwindow.h"

#include <QApplication>
#include <QImage>
#include <QImageReader>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

using namespace quillmore;
using quillmore::test::darkPalette;

static int renderIcons(const QString& svg, const QString& outDir)
{
    QDir().mkpath(outDir);
    for (int size : {16, 32, 48, 64, 128, 256}) {
        QImageReader reader(svg);
        reader.setScaledSize(QSize(size, size));
        const QImage image = reader.read();
        if (image.isNull() ||
            !image.save(QDir(outDir).filePath(QStringLiteral("quillmore-%1.png").arg(size)))) {
            qWarning("cannot render %s at %d: %s", qPrintable(svg), size,
                     qPrintable(reader.errorString()));
            return 1;
        }
    }
    return 0;
}

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString outDir = args.value(1, QStringLiteral("."));
    if (const qsizetype i = args.indexOf(QStringLiteral("--icons")); i > 0)
        return renderIcons(QStringLiteral(":/icons/quillmore.svg"), args.value(i + 1));
    const bool dark = args.contains(QStringLiteral("--dark"));
    if (dark)
        QApplication::setPalette(darkPalette());
    const QString suffix = dark ? QStringLiteral("-dark.png") : QStringLiteral(".png");

    test::WindowFixture fixture;
    fixture.keys->setKey(QStringLiteral("your-api-key"));
    MainWindow window(fixture.context);
    const test::MainControls controls(window);
    // Two rows and an answer in the console, by way of a run over canned answers.
    fixture.answerWith(QStringLiteral("4135923823"),
                       test::answerShownAs({QStringLiteral("4135923823"),
                                            QStringLiteral("Landline"), QStringLiteral("Ann Lee"),
                                            QStringLiteral("302 Main St Springfield 1234 MA US"),
                                            QStringLiteral("Verizon"), QStringLiteral("Active")}));
    fixture.answerWith(
        QStringLiteral("13342228605"),
        test::answerShownAs({QStringLiteral("3342228605"), QStringLiteral("Mobile"),
                             QStringLiteral("Ben Ortiz"),
                             QStringLiteral("9 Elm Rd Montgomery 5521 AL US"),
                             QStringLiteral("T-Mobile USA"), QStringLiteral("Inactive")}));
    fixture.dialogs.inputAnswers << QStringLiteral("(413) 592-3823, +1 334 222 8605");
    controls.addButton->click();
    controls.startButton->click();
    if (!QTest::qWaitFor([&] { return !window.isBusy(); }, 30000)) {
        qWarning("the lookup run for the picture did not end");
        return 1;
    }
    controls.samplesButton->click();
    test::setCheckState(controls.resultsList, 0, Qt::Checked);
    window.show();
    QDir().mkpath(outDir);
    bool ok = window.grab().save(QDir(outDir).filePath(QStringLiteral("main-window") + suffix));
    controls.keyButton->click();
    KeyWindow* key = test::loadedKeyWindow();
    ok =
        key && key->grab().save(QDir(outDir).filePath(QStringLiteral("key-window") + suffix)) && ok;
    return ok ? 0 : 1;
}
