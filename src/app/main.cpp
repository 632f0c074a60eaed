#include "appcontext.h"
#include "curlstage.h"
#include "dialogs.h"
#include "exportactions.h"
#include "fileutil.h"
#include "leftovers.h"
#include "mainwindow.h"
#include "settingsstore.h"

#include <QApplication>
#include <QDir>
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
    quillmore::AppContext context;
    context.dialogs = &dialogs;
    context.settings = &settings;
    context.programFolder = quillmore::programFolder();
    context.lookup = quillmore::LookupConfig::defaults();
    context.clipboard = std::make_shared<quillmore::SystemClipboard>();
    context.spreadsheet = std::make_shared<quillmore::XlsxSpreadsheetLauncher>(dialogs);

    // Private folders that a crashed or killed earlier run left behind hold
    // answers about people and their results: they go before anything new is
    // written.
    quillmore::removeLeftoverFolders(quillmore::temporaryFolder(context.lookup),
                                     quillmore::kStagingFolderPrefix);
    quillmore::removeLeftoverFolders(QDir::tempPath(), quillmore::kWorkbookFolderPrefix);

    quillmore::MainWindow window(context);
    dialogs.setOwner(&window);
    QObject::connect(&window, &quillmore::MainWindow::closed, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    window.show();
    return app.exec();
}
