#include "keywindow.h"

#include "appcontext.h"
#include "errorreport.h"
#include "fileutil.h"
#include "keytest.h"
#include "quillmore_config.h"
#include "settingsstore.h"
#include "widgetstyle.h"

#include <QCloseEvent>
#include <QDir>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace quillmore {

static const QString kProvider = QStringLiteral(QUILLMORE_PROVIDER_DOMAIN);

static QString form2(const char* procedure)
{
    return procedurePath(QStringLiteral("Form2"), QString::fromLatin1(procedure));
}

KeyWindow::KeyWindow(AppContext& context, ProgressSink& mainProgress, QWidget* parent)
    : QWidget(parent, Qt::Window), m_context(context), m_mainProgress(mainProgress), m_pointer(this)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFixedSize(px(8040), px(5115));
    setFont(windowFont());

    m_howFrame =
        new QGroupBox(QStringLiteral("How To Get Your Free API Key From ") + kProvider, this);
    m_howFrame->setGeometry(twipsRect(120, 60, 7800, 2010));
    m_label = new QLabel(
        QStringLiteral("Visit ") + QStringLiteral(QUILLMORE_SIGNUP_URL) +
            QStringLiteral(" and click the button Get a Free API Key to get your own key, then "
                           "enter it below. The key will allow you free lookups."),
        m_howFrame);
    m_label->setGeometry(twipsRect(240, 315, 7500, 450));
    m_label->setWordWrap(true);
    m_label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_video =
        makePushButton(m_howFrame, QStringLiteral("Watch Instructional Video On How To Get Key"),
                       twipsRect(240, 900, 7320, 405));
    m_docs = makePushButton(m_howFrame, QStringLiteral("Open ") + kProvider,
                            twipsRect(240, 1410, 7320, 405));

    m_moreFrame = new QGroupBox(QStringLiteral("More Information"), this);
    m_moreFrame->setGeometry(twipsRect(120, 2130, 7800, 900));
    m_whatIs = makePushButton(m_moreFrame, QStringLiteral("What is an API key?"),
                              twipsRect(240, 300, 7320, 405));

    m_enterFrame =
        new QGroupBox(QStringLiteral("Enter Your ") + kProvider + QStringLiteral(" API Key"), this);
    m_enterFrame->setGeometry(twipsRect(120, 3075, 7800, 1395));
    m_key = new QLineEdit(m_enterFrame);
    m_key->setGeometry(twipsRect(240, 300, 7335, 345));
    m_key->installEventFilter(this);
    m_test = makePushButton(m_enterFrame, QStringLiteral("Test API Key"),
                            twipsRect(240, 780, 7320, 405));

    m_ok = makePushButton(this, QStringLiteral("OK"), twipsRect(120, 4590, 7800, 405));

    // Key first, then the buttons in the order users meet them when tabbing.
    setTabOrder(m_key, m_ok);
    setTabOrder(m_ok, m_whatIs);
    setTabOrder(m_whatIs, m_docs);
    setTabOrder(m_docs, m_test);
    setTabOrder(m_test, m_video);

    for (QWidget* w : {static_cast<QWidget*>(m_docs), static_cast<QWidget*>(m_whatIs),
                       static_cast<QWidget*>(m_test), static_cast<QWidget*>(m_video),
                       static_cast<QWidget*>(m_ok)})
        m_pointer.addHandWidget(w);
    for (QWidget* w : {m_howFrame, m_moreFrame, m_enterFrame})
        m_pointer.addArrowWidget(w);

    m_keyTest = std::make_unique<KeyTest>(*this, m_context.lookup);

    connect(m_key, &QLineEdit::textChanged, this, &KeyWindow::storeKey);
    connect(m_docs, &QPushButton::clicked, this, &KeyWindow::openDocs);
    connect(m_whatIs, &QPushButton::clicked, this, &KeyWindow::openWhatIs);
    connect(m_video, &QPushButton::clicked, this, &KeyWindow::openVideo);
    connect(m_ok, &QPushButton::clicked, this, &KeyWindow::pressOk);
    connect(m_test, &QPushButton::clicked, this, [this] { m_keyTest->buttonPressed(); });

    formLoad();
}

KeyWindow::~KeyWindow()
{
    abortWork();
}

void KeyWindow::formLoad()
{
    GuardedProcedure proc(*m_context.dialogs, form2("Form_Load"));
    proc.step([&] { setPlainBackColors(this); });
    proc.step([&] { setWindowIcon(QIcon(QStringLiteral(":/icons/quillmore.svg"))); });
    proc.step([&] { setWindowTitle(QStringLiteral("Key Options")); });
    proc.step([&] { m_pointer.useHandCursorFile(m_context.programFolder); });
    // Setting the text stores it straight back, so the store holds the key
    // (empty or not) from the first load on.
    proc.step([&] {
        const QString stored = m_context.settings->readSetting(kApiKeyKey, QString());
        if (m_key->text() == stored)
            storeKey(stored);
        else
            m_key->setText(stored);
    });
}

QString KeyWindow::key() const
{
    return m_key->text();
}

Dialogs& KeyWindow::dialogs()
{
    return *m_context.dialogs;
}

void KeyWindow::setBusy(bool busy)
{
    m_pointer.setBusy(busy);
}

void KeyWindow::abortWork()
{
    if (m_keyTest)
        m_keyTest->abort();
}

bool KeyWindow::isTesting() const
{
    return m_keyTest && m_keyTest->isRunning();
}

void KeyWindow::storeKey(const QString& text)
{
    try {
        m_context.settings->writeSetting(kApiKeyKey, text);
        m_storeFailureReported = false;
    } catch (...) {
        // Saving runs on every keystroke: say it once, not at every key, and
        // again only after a save has worked in between.
        if (!m_storeFailureReported) {
            m_storeFailureReported = true;
            GuardedProcedure proc(*m_context.dialogs, form2("Text1_Change"));
            proc.beginStep();
            proc.reportCurrent(std::current_exception());
        }
    }
}

void KeyWindow::openDocs()
{
    GuardedProcedure proc(*m_context.dialogs, form2("PushButton1_Click"));
    proc.step([&] { m_context.dialogs->openUrl(QUrl(QStringLiteral(QUILLMORE_DOCS_URL))); });
}

void KeyWindow::openWhatIs()
{
    GuardedProcedure proc(*m_context.dialogs, form2("PushButton2_Click"));
    proc.step(
        [&] { m_context.dialogs->openUrl(QUrl(QStringLiteral(QUILLMORE_ENCYCLOPEDIA_URL))); });
}

QString KeyWindow::videoTarget(const QString& programFolder)
{
    const QDir folder(QDir(programFolder).filePath(QStringLiteral("VideoKey")));
    // Ordinary files only: no hidden ones, no sub-folders; the listing's first.
    const QStringList files =
        folder.entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    return files.isEmpty() ? folder.path() + QLatin1Char('/') : folder.filePath(files.first());
}

void KeyWindow::openVideo()
{
    GuardedProcedure proc(*m_context.dialogs, form2("PushButton5_Click"));
    proc.step([&] {
        m_context.dialogs->openUrl(QUrl::fromLocalFile(videoTarget(m_context.programFolder)));
    });
}

void KeyWindow::pressOk()
{
    GuardedProcedure proc(*m_context.dialogs, form2("PushButton6_Click"));
    proc.step([&] { emit okPressed(); });
    proc.step([&] { hide(); });
}

void KeyWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    emit closedByUser();
}

bool KeyWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Focus selects the whole key, so typing or pasting replaces it. Deferred:
    // a mouse click would otherwise place the caret after the selection is made.
    if (watched == m_key && event->type() == QEvent::FocusIn)
        QTimer::singleShot(0, m_key, [key = m_key] { key->selectAll(); });
    return QWidget::eventFilter(watched, event);
}

} // namespace quillmore
