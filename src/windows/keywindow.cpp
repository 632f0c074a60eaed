#include "windows/keywindow.h"

#include "desktop/widgetstyle.h"
#include "lookup/keytest.h"
#include "lookup/runreporting.h"
#include "shell/dialogs.h"
#include "shell/errorreport.h"
#include "shell/fileutil.h"
#include "shell/keystore.h"
#include "shell/quillmore_config.h"
#include "windows/appcontext.h"
#include "windows/keywindowcontrols.h"

#include <QCloseEvent>
#include <QDir>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace quillmore {

static QString form2(const char* procedure)
{
    return procedurePath(kKeyForm, QString::fromLatin1(procedure));
}

KeyWindow::KeyWindow(AppContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window), m_context(context), m_pointer(this)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFixedSize(px(8040), px(5115));
    setFont(windowFont());

    using C = KeyControl;
    m_controls = createControls(this, kKeyForm, keyWindowControls(), m_pointer);
    m_key = m_controls.get<QLineEdit>(C::Key);
    m_key->installEventFilter(this);
    const std::pair<int, void (KeyWindow::*)()> clicks[] = {{C::Video, &KeyWindow::openVideo},
                                                            {C::Docs, &KeyWindow::openDocs},
                                                            {C::WhatIs, &KeyWindow::openWhatIs},
                                                            {C::Ok, &KeyWindow::pressOk}};
    for (const auto& [role, clicked] : clicks)
        connect(m_controls.get<QPushButton>(role), &QPushButton::clicked, this, clicked);
    connect(m_controls.get<QPushButton>(C::Test), &QPushButton::clicked, this,
            [this] { m_keyTest->start(); });

    // Key first, then the buttons in the order users meet them when tabbing.
    const int tabOrder[] = {C::Key, C::Ok, C::WhatIs, C::Docs, C::Test, C::Video};
    for (std::size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(m_controls.widget(tabOrder[i - 1]), m_controls.widget(tabOrder[i]));

    m_keyTest = std::make_unique<KeyTest>(*m_context.keys, m_context.lookup);
    showKeyTestReports(*m_keyTest, *m_context.dialogs,
                       m_controls.procedure(KeyControl::Test, "Click"));
    connect(m_keyTest.get(), &KeyTest::busyChanged, this, &KeyWindow::setBusy);
    connect(m_keyTest.get(), &KeyTest::progressText, this, &KeyWindow::progressText);
    connect(m_key, &QLineEdit::textChanged, this, &KeyWindow::storeKey);
    // Enter in the key field does what "OK" does.
    connect(m_key, &QLineEdit::returnPressed, this, &KeyWindow::pressOk);

    formLoad();
}

KeyWindow::~KeyWindow()
{
    endWork();
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
        const QString stored = m_context.keys->key();
        if (m_key->text() == stored)
            storeKey(stored);
        else
            m_key->setText(stored);
    });
}

void KeyWindow::setBusy(bool busy)
{
    m_busy = busy;
    m_pointer.setBusy(busy);
}

void KeyWindow::endWork()
{
    if (m_keyTest)
        m_keyTest->end();
}

void KeyWindow::storeKey(const QString& text)
{
    try {
        m_context.keys->setKey(text);
        m_storeFailureReported = false;
    } catch (...) {
        // Saving runs on every keystroke: say it once, not at every key, and
        // again only after a save has worked in between.
        if (!m_storeFailureReported) {
            m_storeFailureReported = true;
            GuardedProcedure proc(*m_context.dialogs,
                                  m_controls.procedure(KeyControl::Key, "Change"));
            proc.step([error = std::current_exception()] { std::rethrow_exception(error); });
        }
    }
}

void KeyWindow::openDocs()
{
    GuardedProcedure proc(*m_context.dialogs, m_controls.procedure(KeyControl::Docs, "Click"));
    proc.step([&] { m_context.dialogs->openUrl(QUrl(QStringLiteral(QUILLMORE_DOCS_URL))); });
}

void KeyWindow::openWhatIs()
{
    GuardedProcedure proc(*m_context.dialogs, m_controls.procedure(KeyControl::WhatIs, "Click"));
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
    GuardedProcedure proc(*m_context.dialogs, m_controls.procedure(KeyControl::Video, "Click"));
    proc.step([&] {
        m_context.dialogs->openUrl(QUrl::fromLocalFile(videoTarget(m_context.programFolder)));
    });
}

void KeyWindow::pressOk()
{
    GuardedProcedure proc(*m_context.dialogs, m_controls.procedure(KeyControl::Ok, "Click"));
    proc.step([&] { emit okPressed(); });
    proc.step([&] { hide(); });
}

void KeyWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    emit closedByUser();
}

void KeyWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
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
