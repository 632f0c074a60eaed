#include "appcontext.h"
#include "desktopdialogs.h"
#include "exportactions.h"
#include "fileutil.h"
#include "keystore.h"
#include "mainwindow.h"
#include "settingsstore.h"
#include "terminationwatcher.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(quillmore::kProductName);
    QApplication::setOrganizationName(QStringLiteral("Halvren"));
    QApplication::setDesktopFileName(QStringLiteral("quillmore"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/quillmore.svg")));

    quillmore::DesktopDialogs dialogs;
    quillmore::SettingsStore settings;
    quillmore::KeyStore keys(&settings);
    quillmore::AppContext context;
    context.dialogs = &dialogs;
    context.settings = &settings;
    context.keys = &keys;
    context.programFolder = quillmore::programFolder();
    context.lookup = quillmore::LookupConfig::defaults();
    context.clipboard = std::make_shared<quillmore::SystemClipboard>();
    context.spreadsheet = std::make_shared<quillmore::XlsxSpreadsheetLauncher>(dialogs);

    quillmore::MainWindow window(context);
    dialogs.setOwner(&window);
    QObject::connect(&window, &quillmore::MainWindow::closed, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    // Ending the session or `kill` closes the window like its close box, so
    // the number list is saved the same way.
    quillmore::TerminationWatcher termination;
    QObject::connect(&termination, &quillmore::TerminationWatcher::terminationRequested, &window,
                     &QWidget::close);
    window.show();
    return app.exec();
}
