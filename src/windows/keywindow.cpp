#include "windows/keywindow.h"

#include "desktop/widgetstyle.h"
#include "lookup/keytest.h"
#include "shell/dialogs.h"
#include "shell/errorreport.h"
#include "shell/fileutil.h"
#include "shell/keystore.h"
#include "shell/quillmore_config.h"
#include "windows/appcontext.h"
#include "windows/runreporting.h"

#include <QCloseEvent>
#include <QDir>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
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

KeyWindow::KeyWindow(AppContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window), m_context(context), m_pointer(this)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFixedSize(px(8040), px(5115));
    setFont(windowFont());

    const auto button = [this](QWidget* parent, const char* name, const QString& caption, int top,
                               auto&& clicked) {
        QPushButton* b = makePushButton(parent, caption,
                                        parent == this ? twipsRect(120, top, 7800, 405)
                                                       : twipsRect(240, top, 7320, 405));
        b->setObjectName(QLatin1String(name));
        connect(b, &QPushButton::clicked, this, std::forward<decltype(clicked)>(clicked));
        m_pointer.addHandWidget(b);
        return b;
    };

    m_howFrame =
        new QGroupBox(QStringLiteral("How To Get Your Free API Key From ") + kProvider, this);
    m_howFrame->setObjectName(QStringLiteral("Frame1"));
    m_howFrame->setGeometry(twipsRect(120, 60, 7800, 2010));
    auto* label = new QLabel(
        QStringLiteral("Visit ") + QStringLiteral(QUILLMORE_SIGNUP_URL) +
            QStringLiteral(" and click the button Get a Free API Key to get your own key, then "
                           "enter it below. The key will allow you free lookups."),
        m_howFrame);
    label->setObjectName(QStringLiteral("Label2"));
    label->setGeometry(twipsRect(240, 315, 7500, 450));
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPushButton* video = button(m_howFrame, "PushButton5",
                                QStringLiteral("Watch Instructional Video On How To Get Key"), 900,
                                [this] { openVideo(); });
    QPushButton* docs = button(m_howFrame, "PushButton1", QStringLiteral("Open ") + kProvider, 1410,
                               [this] { openDocs(); });

    m_moreFrame = new QGroupBox(QStringLiteral("More Information"), this);
    m_moreFrame->setObjectName(QStringLiteral("Frame3"));
    m_moreFrame->setGeometry(twipsRect(120, 2130, 7800, 900));
    QPushButton* whatIs = button(m_moreFrame, "PushButton2", QStringLiteral("What is an API key?"),
                                 300, [this] { openWhatIs(); });

    m_enterFrame =
        new QGroupBox(QStringLiteral("Enter Your ") + kProvider + QStringLiteral(" API Key"), this);
    m_enterFrame->setObjectName(QStringLiteral("Frame2"));
    m_enterFrame->setGeometry(twipsRect(120, 3075, 7800, 1395));
    m_key = new QLineEdit(m_enterFrame);
    m_key->setObjectName(QStringLiteral("Text1"));
    m_key->setGeometry(twipsRect(240, 300, 7335, 345));
    m_key->installEventFilter(this);
    QPushButton* test = button(m_enterFrame, "PushButton4", QStringLiteral("Test API Key"), 780,
                               [this] { m_keyTest->buttonPressed(); });

    QPushButton* ok =
        button(this, "PushButton6", QStringLiteral("OK"), 4590, [this] { pressOk(); });

    // Key first, then the buttons in the order users meet them when tabbing.
    setTabOrder(m_key, ok);
    setTabOrder(ok, whatIs);
    setTabOrder(whatIs, docs);
    setTabOrder(docs, test);
    setTabOrder(test, video);

    for (QWidget* w : {m_howFrame, m_moreFrame, m_enterFrame})
        m_pointer.addArrowWidget(w);

    m_keyTest = std::make_unique<KeyTest>(*m_context.keys, m_context.lookup);
    showKeyTestReports(*m_keyTest, *m_context.dialogs);
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
            GuardedProcedure proc(*m_context.dialogs, form2("Text1_Change"));
            proc.step([error = std::current_exception()] { std::rethrow_exception(error); });
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
