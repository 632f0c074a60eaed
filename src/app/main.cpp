#include "desktop/desktopdialogs.h"
#include "desktop/exportactions.h"
#include "history/historysettings.h"
#include "history/historystore.h"
#include "history/journalimport.h"
#include "keyring/secretservicekeyring.h"
#include "lookup/curlstage.h"
#include "numbers/phonenumbers.h"
#include "shell/fileutil.h"
#include "shell/keystore.h"
#include "shell/leftovers.h"
#include "shell/settingsstore.h"
#include "shell/terminationwatcher.h"
#include "windows/appcontext.h"
#include "windows/mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QTimer>

#include <cstdio>

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
    quillmore::SecretServiceKeyring keyring;
    quillmore::KeyStore keys(&settings, &keyring, &dialogs);
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
    // A handed-over workbook may still be open in its application, or be
    // saved there in place: its folder waits until it has long been left alone.
    quillmore::removeUnusedWorkbookFolders(
        QDir::tempPath(), QDateTime::currentDateTimeUtc().addDays(-quillmore::kWorkbookKeepDays));

    // Every answer goes into the lookup history. Without it the results
    // still work; they just do not outlive the session, and the user is told
    // so. Another copy of the program, or the command line, may use the same
    // file at the same time: the store waits its turn for each write.
    quillmore::HistoryStore history;
    QString historyProblem;
    try {
        history.open(quillmore::historyDays(settings));
        // The journals of earlier versions come in once and are set aside;
        // the command line's own run journals stay its own.
        quillmore::importJournals(history, quillmore::HistoryStore::defaultFolder(),
                                  quillmore::PhoneNumbers(context.numberRegion), false);
        context.historySession = history.startSession(quillmore::kDesktopProgram);
    } catch (const quillmore::Failure& failure) {
        historyProblem = failure.description();
    }
    context.history = &history;

    quillmore::MainWindow window(context);
    dialogs.setOwner(&window);
    // Where the key stays and why, said once: on the console and, when no
    // work is showing its own progress there, on the window's bar.
    QObject::connect(&keys, &quillmore::KeyStore::notice, &window, [&window](const QString& text) {
        std::fprintf(stderr, "quillmore: %s\n", qPrintable(text));
        if (!window.isBusy())
            window.progress().setProgressText(text);
    });
    // A closed window ends the program once the key's last change is in the
    // keyring (or the keyring has had its time); the window closing is not
    // the end by itself.
    app.setQuitOnLastWindowClosed(false);
    QObject::connect(&window, &quillmore::MainWindow::closed, &keys, &quillmore::KeyStore::finish,
                     Qt::QueuedConnection);
    QObject::connect(&keys, &quillmore::KeyStore::finished, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    // `kill` and a hang-up close the window like its close box, so the number
    // list is saved the same way; the end of the desktop session saves it too.
    quillmore::TerminationWatcher termination;
    QObject::connect(&termination, &quillmore::TerminationWatcher::terminationRequested, &window,
                     &QWidget::close);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager&) { window.saveNumberList(); });
    window.show();
    // The start-up warnings are shown from inside the event loop, so that a
    // stop of the session while a box is up ends the program: a quit asked
    // for before the loop runs is lost.
    QStringList warnings;
    // Without its settings the window shows no key and no numbers: the user
    // must know that these are not lost, only unread.
    if (!settings.loadProblem().isEmpty())
        warnings << QStringLiteral("Your saved API key and number list could not be loaded. "
                                   "%1.\n\nThe settings file is left as it is. Changes made "
                                   "in this session are saved into it once it can be read.")
                        .arg(settings.loadProblem());
    if (!history.openNotice().isEmpty())
        warnings << history.openNotice();
    if (!historyProblem.isEmpty())
        warnings << QStringLiteral("The results of this session cannot be kept for the next "
                                   "start: ") +
                        historyProblem;
    if (!warnings.isEmpty())
        QTimer::singleShot(0, &window, [&dialogs, &window, warnings] {
            for (const QString& warning : warnings) {
                // A stop that came under the previous box closed the window.
                if (!window.isVisible())
                    break;
                dialogs.message(warning, {}, quillmore::Dialogs::Icon::Warning);
            }
        });
    return app.exec();
}
