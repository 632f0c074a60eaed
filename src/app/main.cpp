#include "appcontext.h"
#include "dialogs.h"
#include "exportactions.h"
#include "fileutil.h"
#include "mainwindow.h"
#include "settingsstore.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(quillmore::kProductName);
    QApplication::setOrganizationName(QStringLiteral("Halvren"));
    QApplication::setDesktopFileName(QStringLiteral("com.halvren.Quillmore"));
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

    quillmore::MainWindow window(context);
    dialogs.setOwner(&window);
    QObject::connect(&window, &quillmore::MainWindow::closed, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    window.show();
    return app.exec();
}
