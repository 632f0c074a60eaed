// Renders the windows (and the program icon's PNG sizes) to files, so the
// layout can be looked at without a display:
//   quillmore_screenshots OUTDIR [--dark] [--icons ICONDIR]
// --dark renders them under a dark theme, as main-window-dark.png,
// key-window-dark.png and summary-window-dark.png.
#include "support/darkpalette.h"
#include "support/windowcontrols.h"
#include "support/windowfixture.h"
#include "windows/keywindow.h"
#include "windows/mainwindow.h"
#include "windows/resultslist.h"
#include "windows/summarywindow.h"

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

// The summary of a list such as a paid run leaves: answers of several types
// and carriers, some failures, a few numbers not sent.
static bool summaryPicture(MainWindow& window, const QString& file)
{
    ResultsList* results = window.findChild<ResultsList*>();
    if (!results)
        return false;
    const char* const types[] = {"Mobile",    "Mobile",       "Mobile", "Landline",
                                 "FixedVOIP", "NonFixedVOIP", "Mobile", "TollFree"};
    const char* const carriers[] = {
        "Verizon Wireless", "T-Mobile USA", "AT&T Mobility", "Verizon Wireless", "Comcast Cable",
        "Google Voice",     "US Cellular",  "Bandwidth.com", "Cricket Wireless", "Verizon Wireless",
        "T-Mobile USA",     "Lumen",        "Frontier",      "Windstream"};
    for (int i = 0; i < 4980; ++i) {
        const QString number = QString::number(4135920000LL + i);
        QStringList cells{number,
                          QLatin1String(types[i * 7 % 8]),
                          QStringLiteral("Name"),
                          QStringLiteral("US"),
                          QLatin1String(carriers[i % 3 == 0 ? 0 : i * 5 % 14]),
                          i % 4 == 0 ? QStringLiteral("Inactive") : QStringLiteral("Active")};
        if (i % 97 == 0)
            cells = QStringList{number, {}, {}, {}, {}, QStringLiteral("Could not connect")};
        else if (i % 211 == 0)
            cells = QStringList{number, {}, {}, {}, {}, QStringLiteral("Service error (HTTP 503)")};
        else if (i % 331 == 0)
            cells = QStringList{number, {}, {}, {}, {}, QStringLiteral("Cannot be a valid number")};
        results->append(ResultRecord(number, cells, QStringLiteral("{}")));
    }
    results->showSummary();
    SummaryWindow* summary = results->summaryWindow();
    if (!summary || !QTest::qWaitFor([&] { return summary->summary().hasValidCount(); }, 30000))
        return false;
    return summary->grab().save(file);
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
    ok = summaryPicture(window, QDir(outDir).filePath(QStringLiteral("summary-window") + suffix)) &&
         ok;
    controls.keyButton->click();
    KeyWindow* key = test::loadedKeyWindow();
    ok =
        key && key->grab().save(QDir(outDir).filePath(QStringLiteral("key-window") + suffix)) && ok;
    return ok ? 0 : 1;
}
