#include "mainwindow.h"

#include "appcontext.h"
#include "errorreport.h"
#include "exportactions.h"
#include "fileutil.h"
#include "keywindow.h"
#include "lookuprun.h"
#include "numberlist.h"
#include "settingsstore.h"
#include "widgetstyle.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeWidget>

namespace quillmore {

static QString form1(const char* procedure)
{
    return procedurePath(QStringLiteral("Form1"), QString::fromLatin1(procedure));
}

static const QString kListTooltip = QStringLiteral(
    "Double-click item to remove it. Move | line to right and out of window to reveal full names.");

ProgressBarSink::ProgressBarSink(QProgressBar* bar) : m_bar(bar) {}

void ProgressBarSink::attach(QProgressBar* bar)
{
    m_bar = bar;
    setProgressValue(m_value);
    setProgressText(m_text);
}

void ProgressBarSink::setProgressValue(double value)
{
    m_value = value;
    if (m_bar)
        m_bar->setValue(qBound(0, int(value + 0.5), 100));
}

void ProgressBarSink::setProgressText(const QString& text)
{
    m_text = text;
    if (m_bar) {
        // The bar would read %p, %v and %m in the text as placeholders.
        QString format = text;
        format.replace(QLatin1Char('%'), QStringLiteral("%%"));
        m_bar->setFormat(format);
    }
}

MainWindow::MainWindow(AppContext& context, QWidget* parent)
    : QWidget(parent), m_context(context), m_pointer(this)
{
    buildControls();
    m_run = std::make_unique<LookupRun>(*this, m_context.lookup);
    formLoad();
}

MainWindow::~MainWindow()
{
    if (m_run)
        m_run->abort();
    if (m_keyWindow)
        delete m_keyWindow.data();
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

    m_keyButton = makePushButton(this, QStringLiteral("Getting Started / Enter Your API Key"),
                                 twipsRect(120, 120, 7800, 405));
    m_numberList = makeReportList(this, twipsRect(120, 615, 7800, 1590));
    m_addButton = makePushButton(this, QStringLiteral("Add Phone Number or Numbers"),
                                 twipsRect(120, 2300, 3840, 405));
    m_loadButton = makePushButton(this, QStringLiteral("Load Numbers From Text File"),
                                  twipsRect(4080, 2300, 3840, 405));
    m_clearNumbersButton =
        makePushButton(this, QStringLiteral("Clear List"), twipsRect(120, 2810, 3840, 405));
    m_samplesButton = makePushButton(this, QStringLiteral("Load Sample/Example Numbers"),
                                     twipsRect(4080, 2810, 3840, 405));
    m_startButton =
        makePushButton(this, QStringLiteral("Start Looking Up"), twipsRect(120, 3320, 7800, 405));

    m_consoleFrame = new QGroupBox(QStringLiteral("Console View"), this);
    m_consoleFrame->setGeometry(twipsRect(120, 3760, 7800, 1815));
    m_console = new QPlainTextEdit(m_consoleFrame);
    m_console->setGeometry(twipsRect(240, 300, 7335, 795));
    m_console->setReadOnly(true);
    m_console->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_console->setUndoRedoEnabled(false);
    // Answers are long single lines: wrap them anywhere rather than scroll sideways.
    m_console->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_console->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_copyConsoleButton =
        makePushButton(m_consoleFrame, QStringLiteral("Copy Results To Clipboard"),
                       twipsRect(240, 1200, 3600, 405));
    m_clearConsoleButton =
        makePushButton(m_consoleFrame, QStringLiteral("Clear"), twipsRect(3960, 1200, 3600, 405));

    m_resultsList = makeReportList(this, twipsRect(120, 5690, 7800, 1590));
    m_resultsList->setContextMenuPolicy(Qt::CustomContextMenu);
    m_saveTextButton = makePushButton(this, QStringLiteral("Save Results As Text File"),
                                      twipsRect(120, 7370, 3840, 405));
    m_saveSheetButton = makePushButton(this, QStringLiteral("Save Results As Excel File"),
                                       twipsRect(4080, 7370, 3840, 405));
    m_copyResultsButton = makePushButton(this, QStringLiteral("Copy Results To Clipboard"),
                                         twipsRect(120, 7880, 3840, 405));
    m_clearResultsButton =
        makePushButton(this, QStringLiteral("Clear List"), twipsRect(4080, 7880, 3840, 405));

    m_progressBar = new QProgressBar(this);
    m_progressBar->setGeometry(twipsRect(120, 8400, 7800, 405));
    m_progressBar->setRange(0, 100);
    m_progressBar->setTextVisible(true);
    m_progressBar->setAlignment(Qt::AlignCenter);
    m_progress.attach(m_progressBar);
    m_progress.setProgressValue(0);
    m_progress.setProgressText(kProgressRestText);

    setWhiteBackColors(this);

    for (QPushButton* b : findChildren<QPushButton*>())
        m_pointer.addHandWidget(b);
    for (QWidget* w :
         {static_cast<QWidget*>(m_consoleFrame), static_cast<QWidget*>(m_numberList->viewport()),
          static_cast<QWidget*>(m_resultsList->viewport())})
        m_pointer.addArrowWidget(w);

    m_numberList->installEventFilter(this);
    m_resultsList->installEventFilter(this);

    connect(m_keyButton, &QPushButton::clicked, this, &MainWindow::showKeyWindow);
    connect(m_addButton, &QPushButton::clicked, this, &MainWindow::addTypedNumbers);
    connect(m_loadButton, &QPushButton::clicked, this, &MainWindow::loadNumberFiles);
    connect(m_samplesButton, &QPushButton::clicked, this, &MainWindow::addSampleNumbers);
    connect(m_clearNumbersButton, &QPushButton::clicked, this, &MainWindow::clearNumberList);
    connect(m_clearResultsButton, &QPushButton::clicked, this, &MainWindow::clearResultsList);
    connect(m_startButton, &QPushButton::clicked, this, [this] { m_run->buttonPressed(); });
    connect(m_saveTextButton, &QPushButton::clicked, this,
            [this] { saveResultsAsTextFile(*this); });
    connect(m_saveSheetButton, &QPushButton::clicked, this,
            [this] { saveResultsAsExcelFile(*this, *m_context.spreadsheet); });
    connect(m_copyResultsButton, &QPushButton::clicked, this,
            [this] { copyResultsToClipboard(*this, *m_context.clipboard); });
    connect(m_copyConsoleButton, &QPushButton::clicked, this,
            [this] { copyConsoleToClipboard(*this, *m_context.clipboard); });
    connect(m_clearConsoleButton, &QPushButton::clicked, this, [this] {
        GuardedProcedure proc(*m_context.dialogs, form1("PushButton10_Click"));
        proc.step([&] {
            m_consoleText.clear();
            m_console->clear();
        });
    });
    connect(m_numberList, &QTreeWidget::itemDoubleClicked, this,
            [this] { removeSelectedRow(m_numberList); });
    connect(m_resultsList, &QTreeWidget::itemDoubleClicked, this,
            [this] { removeSelectedRow(m_resultsList); });
    connect(m_resultsList, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        menu.addAction(QStringLiteral("Tick All Rows"), this,
                       [this] { setAllResultsTicked(true); });
        menu.addAction(QStringLiteral("Untick All Rows"), this,
                       [this] { setAllResultsTicked(false); });
        menu.exec(m_resultsList->viewport()->mapToGlobal(at));
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
    proc.step([&] {
        m_consoleText.clear();
        m_console->clear();
    });
    proc.step([&] {
        m_numberList->setHeaderLabels({QStringLiteral("Phone Numbers")});
        m_numberList->setColumnWidth(0, px(7000));
    });
    proc.step([&] {
        m_resultsList->setHeaderLabels({QStringLiteral("Phone Number"), QStringLiteral("Type"),
                                        QStringLiteral("Name"), QStringLiteral("Location"),
                                        QStringLiteral("Provider"), QStringLiteral("Status")});
        const int widths[] = {2000, 1500, 2000, 2500, 1500, 1000};
        for (int c = 0; c < 6; ++c)
            m_resultsList->setColumnWidth(c, px(widths[c]));
    });
    proc.step([&] {
        appendNumbers(
            splitFromStorage(m_context.settings->readSetting(kPhoneNumbersKey, QString())));
    });
}

void MainWindow::saveNumberList()
{
    GuardedProcedure proc(*m_context.dialogs, form1("Form_QueryUnload"));
    QString stored;
    proc.step([&] { stored = joinForStorage(numbers()); });
    proc.step([&] { m_context.settings->writeSetting(kPhoneNumbersKey, stored); });
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!m_closing) {
        m_closing = true;
        saveNumberList();
        // A closing window ends the program at once: the work in progress stops
        // and takes its staged files with it.
        if (m_run)
            m_run->abort();
        if (m_keyWindow) {
            m_keyWindow->abortWork();
            m_keyWindow->hide();
        }
    }
    event->accept();
    emit closed();
}

QStringList MainWindow::numbers() const
{
    QStringList entries;
    entries.reserve(m_numberList->topLevelItemCount());
    for (int i = 0; i < m_numberList->topLevelItemCount(); ++i)
        entries << m_numberList->topLevelItem(i)->text(0);
    return entries;
}

void MainWindow::appendNumbers(const QStringList& entries)
{
    QList<QTreeWidgetItem*> items;
    items.reserve(entries.size());
    for (const QString& entry : entries)
        items << new QTreeWidgetItem(QStringList{entry});
    m_numberList->addTopLevelItems(items);
}

KeyWindow& MainWindow::keyWindow()
{
    if (!m_keyWindow) {
        m_keyWindow = new KeyWindow(m_context, m_progress);
        connect(m_keyWindow, &KeyWindow::okPressed, this, [this] { show(); });
        connect(m_keyWindow, &KeyWindow::closedByUser, this, &MainWindow::keyWindowClosed);
    }
    return *m_keyWindow;
}

void MainWindow::keyWindowClosed()
{
    // The close box unloads the key window; its next use loads it afresh.
    if (m_keyWindow) {
        m_keyWindow->abortWork();
        m_keyWindow->hide();
        m_keyWindow->deleteLater();
        m_keyWindow = nullptr;
    }
    if (!m_closing)
        show();
}

KeyWindow* MainWindow::loadedKeyWindow() const
{
    return m_keyWindow.data();
}

bool MainWindow::isLookupRunning() const
{
    return m_run && m_run->isRunning();
}

void MainWindow::showKeyWindow()
{
    GuardedProcedure proc(*m_context.dialogs, form1("PushButton9_Click"));
    proc.step([&] {
        KeyWindow& window = keyWindow();
        window.show();
        window.raise();
        window.activateWindow();
    });
    proc.step([&] { hide(); });
}

void MainWindow::addTypedNumbers()
{
    GuardedProcedure proc(*m_context.dialogs, form1("PushButton6_Click"));
    QString answer;
    proc.step([&] { answer = m_context.dialogs->input(kAddNumbersPrompt); });
    if (answer.isEmpty())
        return;
    proc.step([&] { appendNumbers(splitTypedNumbers(answer)); });
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
    const bool wasBusy = isBusy();
    proc.step([&] { setBusy(true); });
    const int loopLine = proc.line() + 2;
    for (const QString& path : std::as_const(paths)) {
        // One file that is missing or fails does not stop the others.
        proc.stepAt(loopLine, [&] {
            if (!fileExists(path)) {
                m_context.dialogs->message(kFileNotFoundText);
                return;
            }
            appendNumbers(readNumberFile(path));
        });
    }
    proc.stepAt(loopLine + 2, [&] { setBusy(wasBusy); });
}

void MainWindow::addSampleNumbers()
{
    GuardedProcedure proc(*m_context.dialogs, form1("PushButton8_Click"));
    proc.step([&] { appendNumbers(sampleNumbers()); });
}

void MainWindow::clearNumberList()
{
    GuardedProcedure proc(*m_context.dialogs, form1("PushButton1_Click"));
    proc.step([&] {
        if (!isBusy())
            m_numberList->clear();
    });
}

void MainWindow::clearResultsList()
{
    GuardedProcedure proc(*m_context.dialogs, form1("PushButton2_Click"));
    proc.step([&] { m_resultsList->clear(); });
}

void MainWindow::removeSelectedRow(QTreeWidget* list)
{
    if (isBusy() || list->topLevelItemCount() == 0)
        return;
    const QList<QTreeWidgetItem*> selected = list->selectedItems();
    if (selected.isEmpty())
        return;
    delete selected.constFirst();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == m_numberList || watched == m_resultsList) &&
        event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        // Shift, Ctrl and Alt do not matter: Shift+Delete removes like Delete.
        removeSelectedRow(static_cast<QTreeWidget*>(watched));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::setAllResultsTicked(bool ticked)
{
    for (int i = 0; i < m_resultsList->topLevelItemCount(); ++i)
        m_resultsList->topLevelItem(i)->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
}

Dialogs& MainWindow::dialogs()
{
    return *m_context.dialogs;
}

int MainWindow::numberCount() const
{
    return m_numberList->topLevelItemCount();
}

QString MainWindow::numberAt(int index) const
{
    const QTreeWidgetItem* item = m_numberList->topLevelItem(index);
    return item ? item->text(0) : QString();
}

QString MainWindow::startCaption() const
{
    return m_startButton->text();
}

void MainWindow::setStartCaption(const QString& caption)
{
    m_startButton->setText(caption);
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

void MainWindow::clearResults()
{
    m_resultsList->clear();
}

void MainWindow::appendResultRow(const QStringList& cells)
{
    auto* item = new QTreeWidgetItem(cells);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, Qt::Unchecked);
    m_resultsList->addTopLevelItem(item);
}

QString MainWindow::apiKey()
{
    return keyWindow().key();
}

ReportTable MainWindow::resultsTable() const
{
    ReportTable table;
    const QTreeWidgetItem* header = m_resultsList->headerItem();
    const int columns = m_resultsList->columnCount();
    for (int c = 0; c < columns; ++c)
        table.headers << header->text(c);
    table.rows.reserve(m_resultsList->topLevelItemCount());
    for (int r = 0; r < m_resultsList->topLevelItemCount(); ++r) {
        const QTreeWidgetItem* item = m_resultsList->topLevelItem(r);
        ReportTable::Row row;
        for (int c = 0; c < columns; ++c)
            row.cells << item->text(c);
        row.ticked = item->checkState(0) == Qt::Checked;
        table.rows << row;
    }
    return table;
}

} // namespace quillmore
