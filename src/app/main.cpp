#include "appcontext.h"
#include "curlstage.h"
#include "desktopdialogs.h"
#include "exportactions.h"
#include "fileutil.h"
#include "keystore.h"
#include "leftovers.h"
#include "mainwindow.h"
#include "phonenumbers.h"
#include "resultsjournal.h"
#include "settingsstore.h"
#include "terminationwatcher.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QLockFile>

#include <memory>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(quillmore::kProductName);
    QApplication::setOrganizationName(QStringLiteral("Halvren"));
    QApplication::setDesktopFileName(QStringLiteral("com.halvren.Quillmore"));
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
    context.numberRegion = quillmore::systemNumberRegion();

    // Private folders that a crashed or killed earlier run left behind hold
    // answers about people and their results: they go before anything new is
    // written.
    for (const QString& parent :
         {quillmore::temporaryFolder(context.lookup), quillmore::cacheFolder(context.lookup)})
        quillmore::removeLeftoverFolders(parent, quillmore::kStagingFolderPrefix);
    quillmore::removeLeftoverFolders(QDir::tempPath(), quillmore::kWorkbookFolderPrefix);

    // Without a journal the results still work; they just do not outlive the
    // session, and the user is told so. A second copy of the program running
    // at the same time must not take the first one's journal away.
    std::unique_ptr<quillmore::ResultsJournal> journal;
    QString journalProblem;
    QDir().mkpath(quillmore::ResultsJournal::defaultFolder());
    QLockFile journalLock(
        QDir(quillmore::ResultsJournal::defaultFolder()).filePath(QStringLiteral("journal.lock")));
    journalLock.setStaleLockTime(0);
    if (!journalLock.tryLock(0)) {
        journalProblem = QStringLiteral("Quillmore is already running");
    } else {
        try {
            journal = std::make_unique<quillmore::ResultsJournal>();
        } catch (const quillmore::Failure& failure) {
            journalProblem = failure.description();
        }
    }
    context.journal = journal.get();

    quillmore::MainWindow window(context);
    dialogs.setOwner(&window);
    QObject::connect(&window, &quillmore::MainWindow::closed, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    // `kill` and a hang-up close the window like its close box, so the number
    // list is saved the same way; the end of the desktop session saves it too.
    quillmore::TerminationWatcher termination;
    QObject::connect(&termination, &quillmore::TerminationWatcher::terminationRequested, &window,
                     &QWidget::close);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager&) { window.saveNumberList(); });
    window.show();
    if (!journalProblem.isEmpty())
        dialogs.message(QStringLiteral("The results of this session cannot be kept for the next "
                                       "start: ") +
                            journalProblem,
                        {}, quillmore::Dialogs::Icon::Warning);
    return app.exec();
}
