#include "windows/mainwindow.h"

#include "desktop/exportactions.h"
#include "desktop/widgetstyle.h"
#include "desktop/windowplacement.h"
#include "history/desktopsession.h"
#include "lookup/lookuprun.h"
#include "numbers/numberlist.h"
#include "shell/dialogs.h"
#include "shell/errorreport.h"
#include "shell/fileutil.h"
#include "shell/keystore.h"
#include "shell/settingsstore.h"
#include "shell/timeleft.h"
#include "tables/tablejoin.h"
#include "tables/tableopen.h"
#include "windows/appcontext.h"
#include "windows/keywindow.h"
#include "windows/mainwindowcontrols.h"
#include "windows/numberlistview.h"
#include "windows/resultslist.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeView>

#include <functional>

namespace quillmore {

static QString form1(const char* procedure)
{
    return procedurePath(kMainForm, QString::fromLatin1(procedure));
}

MainWindow::MainWindow(AppContext& context, QWidget* parent)
    : QWidget(parent), m_context(context), m_phoneNumbers(context.numberRegion), m_pointer(this)
{
    buildControls();
    m_run = std::make_unique<LookupRun>(m_numbers, *m_context.keys, m_context.lookup);
    connectRun();
    formLoad();
}

MainWindow::~MainWindow()
{
    m_run.reset();
    if (m_keyWindow)
        delete m_keyWindow.data();
}

void MainWindow::connectRun()
{
    connect(m_run.get(), &LookupRun::stateChanged, this, [this](LookupRun::State state) {
        m_startButton->setText(state == LookupRun::State::Running ? QStringLiteral("Stop")
                                                                  : kStartCaption);
    });
    connect(m_run.get(), &LookupRun::busyChanged, this, &MainWindow::setBusy);
    connect(m_run.get(), &LookupRun::progressValue, this,
            [this](double value) { m_progress.setProgressValue(value); });
    connect(m_run.get(), &LookupRun::progressText, this,
            [this](const QString& text) { m_progress.setProgressText(text); });
    connect(m_run.get(), &LookupRun::answerReceived, this, &MainWindow::appendConsole);
    connect(m_run.get(), &LookupRun::rowReady, m_results, &ResultsList::append);
    connect(m_run.get(), &LookupRun::refusalReceived, m_results, &ResultsList::keepRefusal);
    showRunReports(*m_run, *m_context.dialogs, m_controls.procedure(MainControl::Start, "Click"));

    // The bar's tooltip tells how long the rest of the run will take.
    connect(m_run.get(), &LookupRun::stateChanged, this, [this](LookupRun::State state) {
        if (state == LookupRun::State::Running && !m_runClock.isValid()) {
            m_runClock.start();
            m_runFinished = 0;
            m_runTotal = m_numbers.count();
            m_progressBar->setToolTip(timeLeftText(0, m_runTotal, 0));
        } else if (state == LookupRun::State::Idle) {
            m_runClock.invalidate();
            m_progressBar->setToolTip(QString());
        }
    });
    connect(m_run.get(), &LookupRun::answerReceived, this, [this] {
        if (m_runClock.isValid())
            m_progressBar->setToolTip(
                timeLeftText(++m_runFinished, m_runTotal, m_runClock.elapsed()));
    });
}

void MainWindow::buildControls()
{
    setFixedSize(px(8040), px(8910));
    setFont(windowFont());
    using C = MainControl;
    m_controls = createControls(this, kMainForm, mainWindowControls(), m_pointer);
    m_startButton = m_controls.get<QPushButton>(C::Start);
    m_progressBar = m_controls.get<QProgressBar>(C::ProgressBar);
    m_console.attach(m_controls.get<QPlainTextEdit>(C::Console));

    const std::pair<int, std::function<void()>> clicks[] = {
        {C::KeyButton, [this] { showKeyWindow(); }},
        {C::AddNumbers, [this] { addTypedNumbers(); }},
        {C::LoadNumbers, [this] { loadNumberFiles(); }},
        {C::ClearNumbers, [this] { clearNumberList(); }},
        {C::SampleNumbers, [this] { addSampleNumbers(); }},
        // One button: a start when idle, a stop request while running.
        {C::Start, [this] { m_run->isRunning() ? m_run->stop() : m_run->start(); }},
        {C::CopyConsole,
         [this] {
             copyConsoleToClipboard(*this, *m_context.clipboard,
                                    m_controls.procedure(C::CopyConsole, "Click"));
         }},
        {C::ClearConsole, [this] { clearConsole(); }},
        {C::SaveText,
         [this] { saveResultsAsTextFile(*this, m_controls.procedure(C::SaveText, "Click")); }},
        {C::SaveSheet,
         [this] {
             saveResultsAsExcelFile(*this, *m_context.spreadsheet,
                                    m_controls.procedure(C::SaveSheet, "Click"));
         }},
        {C::CopyResults,
         [this] {
             copyResultsToClipboard(*this, *m_context.clipboard,
                                    m_controls.procedure(C::CopyResults, "Click"));
         }},
        {C::ClearResults, [this] { clearResultsList(); }},
    };
    for (const auto& [role, clicked] : clicks)
        connect(m_controls.get<QPushButton>(role), &QPushButton::clicked, this, clicked);

    m_progress.attach(m_progressBar);
    m_progress.setProgressValue(0);
    m_progress.setProgressText(kProgressRestText);

    setWhiteBackColors(this);
    connect(this, &MainWindow::busyChanged, this, [this](bool busy) { m_pointer.setBusy(busy); });

    const auto busy = [this] { return isBusy(); };
    auto* numberView =
        new NumberListView(m_controls.get<QTreeView>(C::NumberList), m_numbers, m_phoneNumbers,
                           *m_context.dialogs, *m_context.clipboard, busy, this);
    m_history = std::make_unique<DesktopSession>(m_context.history, m_context.historySession,
                                                 m_phoneNumbers);
    m_results =
        new ResultsList(m_controls.get<QTreeView>(C::Results), m_resultsModel, *m_context.dialogs,
                        m_history.get(), m_phoneNumbers, *m_context.clipboard, busy, this);
    numberView->setResultRows([this] { return m_resultsModel.records(); });
    m_results->setLastTable([this] { return m_lastTable; });
    numberView->setEarlierAnswers(
        [this](const QStringList& entries, const QList<NumberClass>& classes, int days) {
            return m_results->takeEarlierAnswers(entries, classes, days);
        });
}

void MainWindow::applySkin()
{
    // Only the recolouring is ours to do: there is no skin component here.
    const QFileInfo skin(QDir(m_context.programFolder).filePath(QStringLiteral("x/o.cjs")));
    if (skin.isFile() && !skin.isHidden())
        setPlainBackColors(this);
}

void MainWindow::formLoad()
{
    GuardedProcedure proc(*m_context.dialogs, form1("Form_Load"));
    proc.step([&] { applySkin(); });
    proc.step([&] { setWindowTitle(kProductName); });
    proc.step([&] { setWindowIcon(QIcon(QStringLiteral(":/icons/quillmore.svg"))); });
    proc.step([&] { m_context.dialogs->setApplicationTitle(deriveAppTitle(kProductName)); });
    proc.step([&] { m_pointer.useHandCursorFile(m_context.programFolder); });
    proc.step([&] { m_console.clear(); });
    // The captions come from the models.
    proc.step(
        [&] { m_controls.get<QTreeView>(MainControl::NumberList)->setColumnWidth(0, px(7000)); });
    proc.step([&] {
        auto* results = m_controls.get<QTreeView>(MainControl::Results);
        const int widths[] = {2000, 1500, 2000, 2500, 1500, 1000};
        for (int c = 0; c < 6; ++c)
            results->setColumnWidth(c, px(widths[c]));
    });
    proc.step([&] {
        m_numbers.append(
            splitFromStorage(m_context.settings->readSetting(kPhoneNumbersKey, QString())));
    });
}

void MainWindow::saveNumberList()
{
    GuardedProcedure proc(*m_context.dialogs, form1("Form_QueryUnload"));
    QString stored;
    proc.step([&] { stored = joinForStorage(m_numbers.entries()); });
    proc.step([&] { m_context.settings->writeSetting(kPhoneNumbersKey, stored); });
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!m_closing) {
        m_closing = true;
        saveNumberList();
        // A closing window ends the program at once: the work in progress stops
        // and takes its staged files with it.
        m_run->end();
        if (m_keyWindow) {
            m_keyWindow->endWork();
            m_keyWindow->hide();
        }
    }
    event->accept();
    emit closed();
}

KeyWindow& MainWindow::keyWindow()
{
    if (!m_keyWindow) {
        m_keyWindow = new KeyWindow(m_context);
        // The key test's request ticks on this window's bar, as a run's does.
        connect(m_keyWindow, &KeyWindow::progressText, this,
                [this](const QString& text) { m_progress.setProgressText(text); });
        connect(m_keyWindow, &KeyWindow::okPressed, this, [this] { showInPlace(this); });
        connect(m_keyWindow, &KeyWindow::closedByUser, this, &MainWindow::keyWindowClosed);
    }
    return *m_keyWindow;
}

void MainWindow::keyWindowClosed()
{
    // The close box unloads the key window; its next use loads it afresh.
    if (m_keyWindow) {
        m_keyWindow->endWork();
        m_keyWindow->hide();
        m_keyWindow->deleteLater();
        m_keyWindow = nullptr;
    }
    if (!m_closing)
        showInPlace(this);
}

void MainWindow::showKeyWindow()
{
    GuardedProcedure proc(*m_context.dialogs,
                          m_controls.procedure(MainControl::KeyButton, "Click"));
    proc.step([&] {
        KeyWindow& window = keyWindow();
        placeAtTopLeftOf(&window, this);
        window.show();
        window.raise();
        window.activateWindow();
    });
    proc.step([&] { hideKeepingPlace(this); });
}

void MainWindow::addTypedNumbers()
{
    GuardedProcedure proc(*m_context.dialogs,
                          m_controls.procedure(MainControl::AddNumbers, "Click"));
    QString answer;
    proc.step([&] { answer = m_context.dialogs->input(kAddNumbersPrompt); });
    if (answer.isEmpty())
        return;
    proc.step([&] { m_numbers.append(splitTypedNumbers(answer)); });
}

void MainWindow::loadNumberFiles()
{
    GuardedProcedure proc(*m_context.dialogs,
                          m_controls.procedure(MainControl::LoadNumbers, "Click"));
    QStringList paths;
    proc.step(
        [&] { paths = m_context.dialogs->openFileNames(kLoadDialogTitle, kNumberFileFilter); });
    if (paths.isEmpty())
        return;
    // A load during a lookup run must not end the run's busy state: the run
    // relies on it to keep the list it is reading intact.
    enum class Statement { Ask, Busy, ReadFile, RestoreBusy };
    const bool wasBusy = isBusy();
    proc.step(Statement::Busy, [&] { setBusy(true); });
    for (const QString& path : std::as_const(paths)) {
        // One file that is missing or fails does not stop the others.
        proc.step(Statement::ReadFile, [&] {
            if (!fileExists(path)) {
                m_context.dialogs->message(kFileNotFoundText);
                return;
            }
            if (isTableFile(path))
                loadTable(path);
            else
                m_numbers.append(readNumberFile(path));
        });
    }
    // A run that ended while a box of the load was up has switched busy off
    // for good: it must not come back on.
    proc.step(Statement::RestoreBusy, [&] { setBusy(wasBusy && isBusy()); });
}

void MainWindow::loadTable(const QString& path)
{
    std::optional<ChosenTable> chosen;
    try {
        chosen = openTable(*m_context.dialogs, path, m_phoneNumbers);
    } catch (const Failure& failure) {
        // Not a fault of the program: the reader's sentence says what is
        // wrong with the file, and the next file still loads.
        m_context.dialogs->message(failure.description(), {}, Dialogs::Icon::Warning);
        return;
    }
    if (!chosen)
        return;
    m_numbers.append(tableListEntries(chosen->table, chosen->plan, chosen->phoneColumn));
    m_lastTable = path;
}

void MainWindow::addSampleNumbers()
{
    GuardedProcedure proc(*m_context.dialogs,
                          m_controls.procedure(MainControl::SampleNumbers, "Click"));
    proc.step([&] { m_numbers.append(sampleNumbers()); });
}

void MainWindow::clearNumberList()
{
    GuardedProcedure proc(*m_context.dialogs,
                          m_controls.procedure(MainControl::ClearNumbers, "Click"));
    proc.step([&] {
        if (!isBusy())
            m_numbers.clear();
    });
}

void MainWindow::clearConsole()
{
    GuardedProcedure proc(*m_context.dialogs,
                          m_controls.procedure(MainControl::ClearConsole, "Click"));
    proc.step([&] { m_console.clear(); });
}

void MainWindow::clearResultsList()
{
    GuardedProcedure proc(*m_context.dialogs,
                          m_controls.procedure(MainControl::ClearResults, "Click"));
    proc.step([&] { m_results->clear(); });
}

Dialogs& MainWindow::dialogs()
{
    return *m_context.dialogs;
}

void MainWindow::setBusy(bool busy)
{
    if (std::exchange(m_busy, busy) != busy)
        emit busyChanged(busy);
}

void MainWindow::appendConsole(const QString& answer)
{
    m_console.append(answer);
}

ReportTable MainWindow::resultsTable() const
{
    // As the list shows them: a sorted list is saved and copied sorted.
    return m_results->table();
}

} // namespace quillmore
