// Prints how long appending one answer to the console control takes as the
// console grows to 10,000 answers of 2 KB. Run without a display:
//   QT_QPA_PLATFORM=offscreen bench_console
//
// The answers go straight into the main window's console control ("Text1"),
// set up as the window sets it up; going through lookup runs would time the
// transfer tool's start instead of the console.
#include "support/windowcontrols.h"
#include "support/windowfixture.h"
#include "windows/mainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTextDocument>

#include <algorithm>
#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    quillmore::test::WindowFixture fixture;
    quillmore::MainWindow window(fixture.context);
    window.show();
    QPlainTextEdit* console = quillmore::test::MainControls(window).console;

    QString answer = QStringLiteral(R"({"id":"Phone.x","phone_number":"4135923823",)");
    while (answer.size() < 2048)
        answer += QStringLiteral(R"("padding":"abcdefghijklmnopqrstuvwxyz0123456789",)");
    answer.truncate(2048);

    QElapsedTimer timer;
    QList<qint64> lastHundred;
    qint64 worst = 0;
    for (int i = 1; i <= 10000; ++i) {
        timer.start();
        console->appendPlainText(answer);
        const qint64 ns = timer.nsecsElapsed();
        worst = std::max(worst, ns);
        if (i > 9900)
            lastHundred << ns;
    }
    std::sort(lastHundred.begin(), lastHundred.end());
    std::printf(
        "console append, answers 9,901 to 10,000 (2 KB each): median %.3f ms, max %.3f ms\n",
        lastHundred[lastHundred.size() / 2] / 1e6, lastHundred.last() / 1e6);
    std::printf("console append, worst of all 10,000: %.3f ms\n", worst / 1e6);
    std::printf("console text: %d characters\n", console->document()->characterCount());
    return 0;
}
