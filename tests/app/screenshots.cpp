// Renders both windows (and the program icon's PNG sizes) to files, so the
// layout can be looked at without a display:
//   quillmore_screenshots OUTDIR [--icons ICONDIR]
#include "keywindow.h"
#include "mainwindow.h"
#include "windowfixture.h"

#include <QApplication>
#include <QImage>
#include <QImageReader>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

using namespace quillmore;

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

    test::WindowFixture fixture;
    fixture.settings->writeSetting(kApiKeyKey, QStringLiteral("your-api-key"));
    MainWindow window(fixture.context);
    fixture.dialogs.inputAnswers << QStringLiteral("(413) 592-3823, +1 334 222 8605");
    window.addButton()->click();
    window.samplesButton()->click();
    window.appendConsole(QStringLiteral(
        R"({"id":"Phone.3dbb6fef","phone_number":"4135923823","is_valid":true,"line_type":"Landline","carrier":"Verizon","belongs_to":{"name":"Ann Lee"}})"));
    window.appendResultRow({QStringLiteral("4135923823"), QStringLiteral("Landline"),
                            QStringLiteral("Ann Lee"),
                            QStringLiteral("302 Main St, Springfield, 1234, MA, US"),
                            QStringLiteral("Verizon"), QStringLiteral("Active")});
    window.appendResultRow({QStringLiteral("3342228605"), QStringLiteral("Mobile"),
                            QStringLiteral("Ben Ortiz"),
                            QStringLiteral("9 Elm Rd, Montgomery, 5521, AL, US"),
                            QStringLiteral("T-Mobile USA"), QStringLiteral("Inactive")});
    window.resultsList()->topLevelItem(0)->setCheckState(0, Qt::Checked);
    window.show();
    QDir().mkpath(outDir);
    bool ok = window.grab().save(QDir(outDir).filePath(QStringLiteral("main-window.png")));
    KeyWindow& key = window.keyWindow();
    key.show();
    ok = key.grab().save(QDir(outDir).filePath(QStringLiteral("key-window.png"))) && ok;
    return ok ? 0 : 1;
}
