#include "windows/mainwindow.h"

#include "desktop/accessibletexts.h"
#include "desktop/exportactions.h"
#include "desktop/widgetstyle.h"
#include "desktop/windowplacement.h"
#include "lookup/lookuprun.h"
#include "numbers/numberlist.h"
#include "shell/errorreport.h"
#include "shell/fileutil.h"
#include "shell/keystore.h"
#include "shell/settingsstore.h"
#include "shell/timeleft.h"
#include "windows/appcontext.h"
#include "windows/keywindow.h"
#include "windows/numberlistview.h"
#include "windows/resultslist.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>

namespace quillmore {

static QString form1(const char* procedure)
{
    return procedurePath(QStringLiteral("Form1"), QString::fromLatin1(procedure));
}

static const QString kStartCaption = QStringLiteral("Start Looking Up");

static const QString kListTooltip = QStringLiteral(
    "Double-click item to remove it. Move | line to right and out of window to reveal full names.");

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
    showRunReports(*m_run, *m_context.dialogs);

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

static QTreeWidget* makeReportList(QWidget* parent, const QRect& geometry)
{
    auto* list = new QTreeWidget(parent);
    list->setGeometry(geometry);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setAllColumnsShowFocus(true);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setToolTip(kListTooltip);
    list->header()->setStretchLastSection(false);
    list->header()->setSectionsMovable(false);
    return list;
}

void MainWindow::buildControls()
{
    setFixedSize(px(8040), px(8910));
    setFont(windowFont());

    // Each button by its name, caption, place and what a click does.
    const auto button = [this](QWidget* parent, const char* name, const QString& caption,
                               const QRect& geometry, auto&& clicked) {
        QPushButton* b = makePushButton(parent, caption, geometry);
        b->setObjectName(QLatin1String(name));
        connect(b, &QPushButton::clicked, this, std::forward<decltype(clicked)>(clicked));
        return b;
    };
    const auto named = [](auto* widget, const char* name) {
        widget->setObjectName(QLatin1String(name));
        return widget;
    };

    button(this, "PushButton9", QStringLiteral("Getting Started / Enter Your API Key"),
           twipsRect(120, 120, 7800, 405), [this] { showKeyWindow(); });
    m_numberList = named(makeReportList(this, twipsRect(120, 615, 7800, 1590)), "ListView1");
    button(this, "PushButton6", QStringLiteral("Add Phone Number or Numbers"),
           twipsRect(120, 2300, 3840, 405), [this] { addTypedNumbers(); });
    button(this, "PushButton3", QStringLiteral("Load Numbers From Text File"),
           twipsRect(4080, 2300, 3840, 405), [this] { loadNumberFiles(); });
    button(this, "PushButton1", QStringLiteral("Clear List"), twipsRect(120, 2810, 3840, 405),
           [this] { clearNumberList(); });
    button(this, "PushButton8", QStringLiteral("Load Sample/Example Numbers"),
           twipsRect(4080, 2810, 3840, 405), [this] { addSampleNumbers(); });
    m_startButton = button(this, "PushButton17", kStartCaption, twipsRect(120, 3320, 7800, 405),
                           [this] { m_run->buttonPressed(); });

    m_consoleFrame = named(new QGroupBox(QStringLiteral("Console View"), this), "Frame1");
    m_consoleFrame->setGeometry(twipsRect(120, 3760, 7800, 1815));
    m_console = named(new QPlainTextEdit(m_consoleFrame), "Text1");
    m_console->setGeometry(twipsRect(240, 300, 7335, 795));
    m_console->setReadOnly(true);
    m_console->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_console->setUndoRedoEnabled(false);
    // Answers are long single lines: wrap them anywhere rather than scroll sideways.
    m_console->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_console->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    button(m_consoleFrame, "PushButton5", QStringLiteral("Copy Results To Clipboard"),
           twipsRect(240, 1200, 3600, 405),
           [this] { copyConsoleToClipboard(*this, *m_context.clipboard); });
    button(m_consoleFrame, "PushButton10", QStringLiteral("Clear"),
           twipsRect(3960, 1200, 3600, 405), [this] {
               GuardedProcedure proc(*m_context.dialogs, form1("PushButton10_Click"));
               proc.step([&] {
                   m_consoleText.clear();
                   m_console->clear();
               });
           });

    m_resultsList = named(makeReportList(this, twipsRect(120, 5690, 7800, 1590)), "ListView2");
    button(this, "PushButton4", QStringLiteral("Save Results As Text File"),
           twipsRect(120, 7370, 3840, 405), [this] { saveResultsAsTextFile(*this); });
    button(this, "PushButton13", QStringLiteral("Save Results As Excel File"),
           twipsRect(4080, 7370, 3840, 405),
           [this] { saveResultsAsExcelFile(*this, *m_context.spreadsheet); });
    button(this, "PushButton7", QStringLiteral("Copy Results To Clipboard"),
           twipsRect(120, 7880, 3840, 405),
           [this] { copyResultsToClipboard(*this, *m_context.clipboard); });
    button(this, "PushButton2", QStringLiteral("Clear List"), twipsRect(4080, 7880, 3840, 405),
           [this] { clearResultsList(); });

    m_progressBar = named(new QProgressBar(this), "ProgressBar1");
    m_progressBar->setGeometry(twipsRect(120, 8400, 7800, 405));
    m_progressBar->setRange(0, 100);
    m_progressBar->setTextVisible(true);
    m_progressBar->setAlignment(Qt::AlignCenter);
    m_progress.attach(m_progressBar);
    m_progress.setProgressValue(0);
    m_progress.setProgressText(kProgressRestText);

    setWhiteBackColors(this);
    setMainWindowAccessibleTexts(this);

    for (QPushButton* b : findChildren<QPushButton*>())
        m_pointer.addHandWidget(b);
    for (QWidget* w :
         {static_cast<QWidget*>(m_consoleFrame), static_cast<QWidget*>(m_numberList->viewport()),
          static_cast<QWidget*>(m_resultsList->viewport())})
        m_pointer.addArrowWidget(w);

    const auto busy = [this] { return isBusy(); };
    auto* numberView = new NumberListView(m_numberList, m_numbers, m_phoneNumbers,
                                          *m_context.dialogs, *m_context.clipboard, busy, this);
    m_results = new ResultsList(m_resultsList, *m_context.dialogs, m_context.journal,
                                m_phoneNumbers, busy, this);
    numberView->setResultRows([this] { return m_results->records(); });
    connect(m_resultsList, &QTreeWidget::itemDoubleClicked, m_results,
            &ResultsList::removeSelected);
    m_resultsList->installEventFilter(this);
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
    proc.step([&] {
        m_consoleText.clear();
        m_console->clear();
    });
    proc.step([&] {
        m_numberList->setHeaderLabels({QStringLiteral("Phone Numbers")});
        m_numberList->setColumnWidth(0, px(7000));
    });
    proc.step([&] {
        m_resultsList->setHeaderLabels(kResultCaptions);
        const int widths[] = {2000, 1500, 2000, 2500, 1500, 1000};
        for (int c = 0; c < 6; ++c)
            m_resultsList->setColumnWidth(c, px(widths[c]));
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
    GuardedProcedure proc(*m_context.dialogs, form1("PushButton9_Click"));
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
    GuardedProcedure proc(*m_context.dialogs, form1("PushButton6_Click"));
    QString answer;
    proc.step([&] { answer = m_context.dialogs->input(kAddNumbersPrompt); });
    if (answer.isEmpty())
        return;
    proc.step([&] { m_numbers.append(splitTypedNumbers(answer)); });
}

void MainWindow::loadNumberFiles()
{
    GuardedProcedure proc(*m_context.dialogs, form1("PushButton3_Click"));
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
            m_numbers.append(readNumberFile(path));
        });
    }
    // A run that ended while a box of the load was up has switched busy off
    // for good: it must not come back on.
    proc.step(Statement::RestoreBusy, [&] { setBusy(wasBusy && isBusy()); });
}

void MainWindow::addSampleNumbers()
{
    GuardedProcedure proc(*m_context.dialogs, form1("PushButton8_Click"));
    proc.step([&] { m_numbers.append(sampleNumbers()); });
}

void MainWindow::clearNumberList()
{
    GuardedProcedure proc(*m_context.dialogs, form1("PushButton1_Click"));
    proc.step([&] {
        if (!isBusy())
            m_numbers.clear();
    });
}

void MainWindow::clearResultsList()
{
    GuardedProcedure proc(*m_context.dialogs, form1("PushButton2_Click"));
    proc.step([&] { m_results->clear(); });
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_resultsList && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        // Shift, Ctrl and Alt do not matter: Shift+Delete removes like Delete.
        m_results->removeSelected();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

Dialogs& MainWindow::dialogs()
{
    return *m_context.dialogs;
}

void MainWindow::setBusy(bool busy)
{
    m_pointer.setBusy(busy);
}

void MainWindow::appendConsole(const QString& answer)
{
    m_consoleText += answer;
    m_consoleText += QStringLiteral("\r\n");
    // Appending a block costs the same on the 10,000th answer as on the first;
    // the shown text never holds CR, so the kept text is the one copied.
    m_console->appendPlainText(answer);
}

ReportTable MainWindow::resultsTable() const
{
    return m_results->table();
}

} // namespace quillmore
