// The windows as the Linux desktop meets them: a dark theme, the screen's
// edges, the keyboard, screen readers and the file dialogs.
#include "desktop/columnchooser.h"
#include "desktop/desktopdialogs.h"
#include "desktop/pointerscheme.h"
#include "desktop/windowplacement.h"
#include "numbers/numberlist.h"
#include "support/darkpalette.h"
#include "support/windowcontrols.h"
#include "support/windowfixture.h"
#include "windows/keywindow.h"
#include "windows/mainwindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <cmath>

using namespace quillmore;
using namespace quillmore::test;

namespace {

double luminance(const QColor& colour)
{
    const auto channel = [](double c) {
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
           0.0722 * channel(colour.blueF());
}

double contrast(const QColor& a, const QColor& b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Every text colour a window's widgets draw on a background they draw, where
// the two do not stand apart enough to read: each as "widget group what ratio".
QStringList unreadable(QWidget& window)
{
    struct Pair
    {
        QPalette::ColorRole back, fore;
        const char* what;
    };
    static const Pair pairs[] = {
        {QPalette::Window, QPalette::WindowText, "window text"},
        {QPalette::Base, QPalette::Text, "field text"},
        {QPalette::Base, QPalette::PlaceholderText, "placeholder"},
        {QPalette::AlternateBase, QPalette::Text, "alternate row text"},
        {QPalette::Button, QPalette::ButtonText, "button text"},
        {QPalette::Highlight, QPalette::HighlightedText, "selected text"},
    };
    QList<QWidget*> widgets = window.findChildren<QWidget*>();
    widgets.prepend(&window);
    QStringList found;
    for (QWidget* widget : std::as_const(widgets)) {
        const QPalette& p = widget->palette();
        const auto check = [&](QPalette::ColorGroup group, QPalette::ColorRole back,
                               QPalette::ColorRole fore, const char* what) {
            // Disabled text is meant to look faint, but not to vanish.
            const bool enabled = group == QPalette::Active;
            const double least = enabled && fore != QPalette::PlaceholderText ? 4.5 : 3.0;
            const double ratio = contrast(p.color(group, back), p.color(group, fore));
            if (ratio < least)
                found << QStringLiteral("%1 %2 %3 %4")
                             .arg(widget->objectName().isEmpty()
                                      ? QString::fromLatin1(widget->metaObject()->className())
                                      : widget->objectName(),
                                  enabled ? QStringLiteral("enabled") : QStringLiteral("disabled"),
                                  QString::fromLatin1(what))
                             .arg(ratio, 0, 'f', 2);
        };
        for (const auto group : {QPalette::Active, QPalette::Disabled}) {
            for (const Pair& pair : pairs)
                check(group, pair.back, pair.fore, pair.what);
            // A frame's caption is drawn in the text colour on the frame's background.
            if (qobject_cast<QGroupBox*>(widget))
                check(group, QPalette::Window, QPalette::Text, "caption");
        }
    }
    return found;
}

} // namespace

class TestDesktop : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void darkThemeStaysReadable();
    void keyWindowOpensOverTheMainWindow();
    void mainWindowComesBackWhereItWas();
    void enterAndEscape();
    void screenReaderTexts();
    void busyPointerCoversTextBoxes();
    void messageBoxShowsItsTitle();
    void yesNoBoxSaysNoUnlessYesIsPressed_data();
    void yesNoBoxSaysNoUnlessYesIsPressed();
    void allFilesShowsNamesWithoutADot();
    void dialogsStartWhereTheLastFileWasChosen();
    void columnWindowByKeyboard_data();
    void columnWindowByKeyboard();
};

void TestDesktop::initTestCase()
{
    QApplication::setPalette(darkPalette());
}

void TestDesktop::darkThemeStaysReadable()
{
    {
        WindowFixture f;
        MainWindow w(f.context);
        MainControls c(w);
        // The window keeps its white look; what is on it must read there.
        QCOMPARE(w.palette().color(QPalette::Window), QColor(Qt::white));
        QCOMPARE(c.consoleFrame->palette().color(QPalette::Window), QColor(Qt::white));
        QVERIFY2(unreadable(w).isEmpty(), qPrintable(unreadable(w).join("; ")));
        c.clearNumbersButton->setEnabled(false); // disabled colours come from the same palette
        QVERIFY2(unreadable(w).isEmpty(), qPrintable(unreadable(w).join("; ")));
    }
    {
        // With a skin file the window takes the theme's button face instead.
        WindowFixture f;
        QDir(f.programFolder()).mkpath("x");
        QFile skin(QDir(f.programFolder()).filePath("x/o.cjs"));
        QVERIFY(skin.open(QIODevice::WriteOnly));
        skin.close();
        MainWindow w(f.context);
        QCOMPARE(w.palette().color(QPalette::Window), darkPalette().color(QPalette::Button));
        QVERIFY2(unreadable(w).isEmpty(), qPrintable(unreadable(w).join("; ")));
        w.show();
        MainControls(w).keyButton->click();
        KeyWindow* key = loadedKeyWindow();
        QVERIFY(key);
        QCOMPARE(key->palette().color(QPalette::Window), darkPalette().color(QPalette::Button));
        QCOMPARE(control<QLabel>(*key, "Label2")->palette().color(QPalette::Window),
                 darkPalette().color(QPalette::Button));
        QVERIFY2(unreadable(*key).isEmpty(), qPrintable(unreadable(*key).join("; ")));
        // The key field keeps the theme's dark field, not a frame's colours.
        QCOMPARE(KeyControls(*key).keyField->palette().color(QPalette::Base),
                 darkPalette().color(QPalette::Base));
    }
}

void TestDesktop::keyWindowOpensOverTheMainWindow()
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    WindowFixture f;
    MainWindow w(f.context);
    MainControls c(w);
    w.show();
    w.move(screen.topLeft() + QPoint(30, 40));
    c.keyButton->click();
    KeyWindow* key = loadedKeyWindow();
    QVERIFY(key);
    QCOMPARE(key->frameGeometry().topLeft(), w.frameGeometry().topLeft());

    // Near the screen's far corner it moves back just enough to be all on it.
    KeyControls(*key).okButton->click();
    w.move(screen.topLeft() + QPoint(screen.width() - 50, screen.height() - 60));
    c.keyButton->click();
    QCOMPARE(loadedKeyWindow(), key);
    QCOMPARE(key->frameGeometry().bottomRight(), screen.bottomRight());
    QVERIFY(screen.contains(key->frameGeometry()));

    // A frame larger than the screen keeps its top-left corner on it.
    const QRect area(100, 50, 300, 200);
    QCOMPARE(placeInside({350, 20}, {100, 100}, area), QPoint(300, 50));
    QCOMPARE(placeInside({10, 400}, {500, 300}, area), QPoint(100, 50));
    QCOMPARE(placeInside({120, 60}, {100, 100}, area), QPoint(120, 60));
}

void TestDesktop::mainWindowComesBackWhereItWas()
{
    WindowFixture f;
    MainWindow w(f.context);
    MainControls c(w);
    w.show();
    const QPoint place =
        QGuiApplication::primaryScreen()->availableGeometry().topLeft() + QPoint(12, 34);
    w.move(place);
    // Whatever happens to a hidden window's place, it comes back to the user's.
    c.keyButton->click();
    w.move(place + QPoint(90, 90));
    KeyControls(*loadedKeyWindow()).okButton->click();
    QVERIFY(w.isVisible());
    QCOMPARE(w.pos(), place);

    c.keyButton->click();
    w.move(place + QPoint(90, 90));
    loadedKeyWindow()->close();
    QVERIFY(w.isVisible());
    QCOMPARE(w.pos(), place);
}

void TestDesktop::enterAndEscape()
{
    WindowFixture f;
    MainWindow w(f.context);
    MainControls c(w);
    w.show();
    c.keyButton->click();
    QPointer<KeyWindow> key = loadedKeyWindow();
    QVERIFY(key);
    KeyControls k(*key);

    // Enter in the key field is "OK": the window stays loaded, hidden.
    QTest::keyClick(k.keyField, Qt::Key_Return);
    QVERIFY(w.isVisible());
    QVERIFY(!key->isVisible());
    c.keyButton->click();
    QTest::keyClick(k.keyField, Qt::Key_Enter);
    QVERIFY(w.isVisible());
    QVERIFY(!key->isVisible());

    // A focused button takes Enter and Return as well as Space.
    c.keyButton->click();
    k.whatIsButton->setFocus();
    for (const auto keyCode : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space})
        QTest::keyClick(k.whatIsButton, keyCode);
    QCOMPARE(f.dialogs.opened.size(), 3);

    // Escape is the close box: the window is unloaded, the main window back.
    QTest::keyClick(k.keyField, Qt::Key_Escape);
    QVERIFY(w.isVisible());
    QTRY_VERIFY(!key);

    c.samplesButton->setFocus();
    QTest::keyClick(c.samplesButton, Qt::Key_Enter);
    QTest::keyClick(c.samplesButton, Qt::Key_Return);
    QCOMPARE(w.numberList().count(), 12);
    QVERIFY(f.dialogs.messages.isEmpty());
}

void TestDesktop::screenReaderTexts()
{
    WindowFixture f;
    MainWindow w(f.context);
    MainControls c(w);
    QCOMPARE(c.numberList->accessibleName(), QString("Phone Numbers"));
    QCOMPARE(c.resultsList->accessibleName(), QString("Results"));
    QCOMPARE(c.console->accessibleName(), QString("Console View"));
    QCOMPARE(c.progressBar->accessibleName(), QString("Progress"));
    QCOMPARE(c.copyConsoleButton->accessibleDescription(), QString("Copies the console text"));
    QCOMPARE(c.copyResultsButton->accessibleDescription(), QString("Copies the ticked results"));
    QCOMPARE(c.clearNumbersButton->accessibleDescription(), QString("Empties the number list"));
    QCOMPARE(c.clearResultsButton->accessibleDescription(), QString("Empties the results list"));
    // The two pairs of buttons that share a caption are told apart by their descriptions.
    QCOMPARE(c.copyConsoleButton->text(), c.copyResultsButton->text());
}

void TestDesktop::busyPointerCoversTextBoxes()
{
    WindowFixture f;
    MainWindow w(f.context);
    MainControls c(w);
    const Qt::CursorShape consoleOwn = c.console->viewport()->cursor().shape();
    QCOMPARE(consoleOwn, Qt::IBeamCursor);
    w.setBusy(true);
    QCOMPARE(c.console->viewport()->cursor().shape(), Qt::WaitCursor);
    QCOMPARE(c.startButton->cursor().shape(), Qt::WaitCursor);
    w.setBusy(true); // twice busy: the own pointer is still the one kept
    w.setBusy(false);
    QCOMPARE(c.console->viewport()->cursor().shape(), consoleOwn);
    QCOMPARE(c.startButton->cursor().shape(), Qt::PointingHandCursor);

    // The key field, while the key test keeps the key window busy.
    w.show();
    c.keyButton->click();
    KeyWindow* key = loadedKeyWindow();
    QVERIFY(key);
    KeyControls k(*key);
    QCOMPARE(k.keyField->cursor().shape(), Qt::IBeamCursor);
    k.testButton->click();
    QVERIFY(key->isBusy());
    QCOMPARE(k.keyField->cursor().shape(), Qt::WaitCursor);
    QTRY_VERIFY_WITH_TIMEOUT(!key->isBusy(), 20000);
    QCOMPARE(k.keyField->cursor().shape(), Qt::IBeamCursor);
}

void TestDesktop::messageBoxShowsItsTitle()
{
    const QString title = QStringLiteral("Quillmore");
    QMessageBox box(QMessageBox::NoIcon, title, QStringLiteral("Done."), QMessageBox::Ok);
    fitTitle(box);
    box.show();
    QFont bold = QApplication::font();
    bold.setBold(true);
    // Room for the title in a bold face and for an icon and three buttons beside it.
    QVERIFY2(box.width() >= QFontMetrics(bold).horizontalAdvance(title) + 4 * 20,
             qPrintable(QString::number(box.width())));
    QCOMPARE(box.text(), QString("Done."));
}

void TestDesktop::yesNoBoxSaysNoUnlessYesIsPressed_data()
{
    QTest::addColumn<int>("key"); // 0: the Yes button is clicked
    QTest::addColumn<bool>("answer");
    QTest::newRow("Yes clicked") << 0 << true;
    QTest::newRow("Enter") << int(Qt::Key_Return) << false;
    QTest::newRow("Escape") << int(Qt::Key_Escape) << false;
}

void TestDesktop::yesNoBoxSaysNoUnlessYesIsPressed()
{
    QFETCH(int, key);
    QFETCH(bool, answer);
    DesktopDialogs dialogs;
    dialogs.setApplicationTitle("Quillmore");
    QString text;
    QString title;
    // Answers the box as soon as it is up.
    QTimer answering;
    answering.setInterval(10);
    QObject::connect(&answering, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        answering.stop();
        text = box->text();
        title = box->windowTitle();
        if (key == 0)
            box->button(QMessageBox::Yes)->click();
        else
            QTest::keyClick(box, Qt::Key(key));
    });
    answering.start();
    QCOMPARE(dialogs.ask("Keep the API key in the settings file instead?"), answer);
    QCOMPARE(text, QString("Keep the API key in the settings file instead?"));
    QCOMPARE(title, QString("Quillmore"));
}

void TestDesktop::allFilesShowsNamesWithoutADot()
{
    QTemporaryDir dir;
    for (const char* name : {"numbers", "list.txt", "sheet.csv"}) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    DesktopDialogs dialogs;
    QFileDialog dialog;
    dialogs.prepareFileDialog(dialog, "Load", kNumberFileFilter);
    dialog.setDirectory(dir.path());
    auto* types = dialog.findChild<QComboBox*>("fileTypeCombo");
    QVERIFY(types);
    QStringList captions;
    for (int i = 0; i < types->count(); ++i)
        captions << types->itemText(i);
    QCOMPARE(captions,
             QStringList({"Text Files (*.txt)", "Tables (*.csv *.tsv *.xlsx)", "All Files (*.*)"}));

    auto* files = dialog.findChild<QListView*>("listView");
    QVERIFY(files);
    const auto shown = [&] {
        QStringList names;
        const QModelIndex root = files->rootIndex();
        for (int row = 0; row < files->model()->rowCount(root); ++row)
            names << files->model()->index(row, 0, root).data().toString();
        names.sort();
        return names;
    };
    QTRY_COMPARE(shown(), QStringList{"list.txt"});
    dialog.selectNameFilter(dialog.nameFilters().at(1));
    QTRY_COMPARE(shown(), QStringList{"sheet.csv"});
    dialog.selectNameFilter(dialog.nameFilters().at(2));
    QTRY_COMPARE(shown(), QStringList({"list.txt", "numbers", "sheet.csv"}));
}

void TestDesktop::dialogsStartWhereTheLastFileWasChosen()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("saved"));
    const QString folder = QDir(dir.filePath("saved")).canonicalPath();
    DesktopDialogs dialogs;
    QCOMPARE(dialogs.startFolder(), QDir::homePath());
    {
        QFileDialog first;
        dialogs.prepareFileDialog(first, "Save", kNumberFileFilter);
        QCOMPARE(QDir(first.directory()).canonicalPath(), QDir::home().canonicalPath());
        // A cancelled dialog gives nothing and moves nothing.
        first.reject();
        QCOMPARE(dialogs.takeChosenFiles(first), QStringList());
        QCOMPARE(dialogs.startFolder(), QDir::homePath());
    }
    {
        QFileDialog save;
        dialogs.prepareFileDialog(save, "Save", kNumberFileFilter);
        save.setAcceptMode(QFileDialog::AcceptSave);
        save.setDirectory(folder);
        save.selectFile(QDir(folder).filePath("results"));
        static_cast<QDialog&>(save).accept(); // as the "Save" button does
        QCOMPARE(dialogs.takeChosenFiles(save), QStringList{QDir(folder).filePath("results")});
    }
    QCOMPARE(dialogs.startFolder(), folder);
    QFileDialog next;
    dialogs.prepareFileDialog(next, "Load", kNumberFileFilter);
    QCOMPARE(next.directory().path(), folder);
}

void TestDesktop::columnWindowByKeyboard_data()
{
    QTest::addColumn<qsizetype>("guessedPhone");
    QTest::addColumn<qsizetype>("guessedCountry");
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<qsizetype>("phone"); // -2: cancelled
    QTest::addColumn<qsizetype>("country");
    using L = QList<int>;
    QTest::newRow("guess taken with Enter")
        << qsizetype(1) << qsizetype(2) << L{Qt::Key_Return} << qsizetype(1) << qsizetype(2);
    // Nothing guessed: Enter does nothing until a column is picked.
    QTest::newRow("no guess, Enter waits")
        << qsizetype(-1) << qsizetype(-1) << L{Qt::Key_Return, Qt::Key_Escape} << qsizetype(-2)
        << qsizetype(-1);
    QTest::newRow("no guess, picked from the keyboard")
        << qsizetype(-1) << qsizetype(-1) << L{Qt::Key_End, Qt::Key_Return} << qsizetype(3)
        << qsizetype(-1);
    QTest::newRow("Escape cancels a guess")
        << qsizetype(1) << qsizetype(2) << L{Qt::Key_Escape} << qsizetype(-2) << qsizetype(-1);
}

void TestDesktop::columnWindowByKeyboard()
{
    QFETCH(qsizetype, guessedPhone);
    QFETCH(qsizetype, guessedCountry);
    QFETCH(QList<int>, keys);
    QFETCH(qsizetype, phone);
    QFETCH(qsizetype, country);
    ColumnQuestion question;
    question.headers = QStringList{"Name", "Mobile", "Country", ""};
    question.firstRow = QStringList{"Ann", "(413) 592-3823", "US", "x"};
    question.phoneColumn = guessedPhone;
    question.countryColumn = guessedCountry;
    ColumnChooser chooser(question);
    QCOMPARE(chooser.windowTitle(), QString("Choose the Phone Column"));
    auto* columns = chooser.findChild<QTreeWidget*>("PhoneColumns");
    auto* countries = chooser.findChild<QComboBox*>("CountryColumn");
    auto* ok = chooser.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
    QVERIFY(columns && countries && ok);
    QCOMPARE(columns->accessibleName(), QString("Phone column"));
    QCOMPARE(countries->accessibleName(), QString("Country column"));
    QCOMPARE(columns->topLevelItemCount(), 4);
    QCOMPARE(columns->topLevelItem(1)->text(0), QString("Mobile"));
    QCOMPARE(columns->topLevelItem(1)->text(1), QString("(413) 592-3823"));
    QCOMPARE(columns->topLevelItem(3)->text(0), QString("Column 4"));
    QCOMPARE(countries->itemText(0), QString("(none)"));
    QCOMPARE(countries->currentIndex(), int(guessedCountry + 1));
    QCOMPARE(ok->isEnabled(), guessedPhone >= 0);

    chooser.show();
    QVERIFY(QTest::qWaitForWindowActive(&chooser));
    QVERIFY2(unreadable(chooser).isEmpty(), qPrintable(unreadable(chooser).join("; ")));
    QCOMPARE(QApplication::focusWidget(), columns);
    // The list takes its first row as current on focus, which is no choice.
    QCOMPARE(ok->isEnabled(), guessedPhone >= 0);
    for (const int key : keys) {
        if (!chooser.isVisible())
            break;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    }
    QVERIFY(!chooser.isVisible());
    if (phone == -2) {
        QCOMPARE(chooser.result(), int(QDialog::Rejected));
        return;
    }
    QCOMPARE(chooser.result(), int(QDialog::Accepted));
    QCOMPARE(chooser.answer(), (ColumnAnswer{phone, country}));
}

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
