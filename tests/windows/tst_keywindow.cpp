#include "support/windowcontrols.h"
#include "support/windowfixture.h"
#include "windowchecks.h"
#include "windows/keywindow.h"
#include "windows/keywindowcontrols.h"
#include "windows/mainwindow.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace quillmore;
using namespace quillmore::test;

// The Key Options window: switching to and from it, the key kept as typed,
// focus and tab order, its addresses, and the key read only from the store.
class TestKeyWindow : public QObject
{
    Q_OBJECT
private slots:
    void keyWindowSwitching();
    void keyWindowStoresEveryKeystroke();
    void keyWindowFocusAndTabOrder();
    void keyWindowOpensAddresses();
    void keyComesFromTheKeyStoreOnly();
};

void TestKeyWindow::keyWindowSwitching()
{
    WindowFixture f;
    MainWindow w(f.context);
    MainControls c(w);
    c.samplesButton->click();
    QVERIFY(addResultRows(f, w, {{"1", "", "", "", "", "Inactive"}}));
    w.show();
    c.keyButton->click();
    QVERIFY(!w.isVisible());
    QPointer<KeyWindow> key = loadedKeyWindow();
    QVERIFY(key);
    QVERIFY(key->isVisible());
    QCOMPARE(key->windowTitle(), QString("Key Options"));
    QCOMPARE(tableMismatch(*key, keyWindowControls()), QString());
    KeyControls k(*key);

    k.okButton->click();
    QVERIFY(w.isVisible());
    QVERIFY(!key->isVisible());
    QCOMPARE(numbers(w).size(), 6);
    QCOMPARE(rowCount(c.resultsList), 1);

    // "OK" keeps the window loaded with its text; the close box unloads it.
    c.keyButton->click();
    QCOMPARE(loadedKeyWindow(), key.data());
    k.keyField->setText("typed");
    key->close();
    QVERIFY(w.isVisible());
    QTRY_VERIFY(!key);
    c.keyButton->click();
    QVERIFY(loadedKeyWindow());
    QCOMPARE(KeyControls(*loadedKeyWindow()).keyField->text(), QString("typed"));
    QCOMPARE(numbers(w).size(), 6);
    QVERIFY(f.dialogs.messages.isEmpty());
}

void TestKeyWindow::keyWindowStoresEveryKeystroke()
{
    WindowFixture f;
    f.keys->setKey(" old key ");
    MainWindow w(f.context);
    MainControls c(w);
    w.show();
    c.keyButton->click();
    QVERIFY(loadedKeyWindow());
    KeyControls key(*loadedKeyWindow());
    QCOMPARE(key.keyField->text(), QString(" old key "));
    key.keyField->clear();
    QCOMPARE(f.storedValue(kApiKeyKey), QString());
    QStringList seen;
    for (const QChar ch : QString(" ab1")) {
        QTest::keyClick(key.keyField, ch.toLatin1());
        seen << f.storedValue(kApiKeyKey);
    }
    QCOMPARE(seen, QStringList({" ", " a", " ab", " ab1"}));
    QCOMPARE(f.keys->key(), QString(" ab1"));
    // The program ends from the key window's side: the last text is kept.
    w.close();
    SettingsStore reopened(f.settingsFile());
    QCOMPARE(KeyStore(&reopened).key(), QString(" ab1"));
}

void TestKeyWindow::keyWindowFocusAndTabOrder()
{
    WindowFixture f;
    f.keys->setKey("secret-key");
    MainWindow w(f.context);
    MainControls c(w);
    w.show();
    c.keyButton->click();
    KeyWindow* key = loadedKeyWindow();
    QVERIFY(key);
    KeyControls k(*key);
    QApplication::setActiveWindow(key);
    QVERIFY(QTest::qWaitForWindowActive(key));
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(k.keyField));
    QTRY_COMPARE(k.keyField->selectedText(), QString("secret-key"));

    QList<QWidget*> order;
    QWidget* at = k.keyField;
    for (int i = 0; i < 5; ++i) {
        at = at->nextInFocusChain();
        while (at->focusPolicy() == Qt::NoFocus)
            at = at->nextInFocusChain();
        order << at;
    }
    QCOMPARE(order, (QList<QWidget*>{k.okButton, k.whatIsButton, k.docsButton, k.testButton,
                                     k.videoButton}));

    k.okButton->setFocus();
    k.keyField->deselect();
    k.keyField->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(k.keyField->selectedText(), QString("secret-key"));
}

void TestKeyWindow::keyWindowOpensAddresses()
{
    WindowFixture f;
    MainWindow w(f.context);
    MainControls(w).keyButton->click();
    QVERIFY(loadedKeyWindow());
    KeyControls key(*loadedKeyWindow());
    QVERIFY(key.docsButton->text().startsWith("Open "));
    QCOMPARE(key.whatIsButton->text(), QString("What is an API key?"));
    QCOMPARE(key.videoButton->text(), QString("Watch Instructional Video On How To Get Key"));
    QCOMPARE(key.testButton->text(), QString("Test API Key"));
    key.docsButton->click();
    key.whatIsButton->click();
    // No video folder: the folder itself is opened, and nothing is said.
    key.videoButton->click();
    QDir(f.programFolder()).mkpath("VideoKey/sub");
    writeFile(f.programFolder() + "/VideoKey/b clip.mp4", "x");
    writeFile(f.programFolder() + "/VideoKey/.hidden", "x");
    writeFile(f.programFolder() + "/VideoKey/a clip.mp4", "x");
    key.videoButton->click();
    QCOMPARE(f.dialogs.opened.size(), 4);
    QVERIFY(f.dialogs.opened[0].toString().endsWith(
        "/developer/documentation/api-overview/#tag/Phone-Intelligence-API"));
    QCOMPARE(f.dialogs.opened[1].toString(),
             QString("https://en.wikipedia.org/wiki/Application_programming_interface_key"));
    QCOMPARE(f.dialogs.opened[2], QUrl::fromLocalFile(f.programFolder() + "/VideoKey/"));
    QCOMPARE(f.dialogs.opened[3], QUrl::fromLocalFile(f.programFolder() + "/VideoKey/a clip.mp4"));
    QVERIFY(f.dialogs.messages.isEmpty());
}

void TestKeyWindow::keyComesFromTheKeyStoreOnly()
{
    WindowFixture f;
    f.keys->setKey("stored-key");
    f.answerWith("4135923823", answerShownAs({"4135923823", "", "", "", "", "Active"}));
    MainWindow w(f.context);
    // A run reads the key store afresh for each request and never loads the key window.
    QVERIFY(runOver(f, w, {"4135923823"}));
    f.keys->setKey("changed key");
    QVERIFY(runOver(f, w, {"4135923823"}));
    QVERIFY(!loadedKeyWindow());
    const QStringList sent = f.requestLines();
    QCOMPARE(sent.size(), 2);
    QVERIFY2(sent[0].contains("api_key=stored-key&phone=4135923823"), qPrintable(sent[0]));
    QVERIFY2(sent[1].contains("api_key=changed%20key&phone=4135923823"), qPrintable(sent[1]));

    // The key window shows the store's key, not whatever the settings file holds.
    WindowFixture g;
    {
        g.settings->writeSetting(kApiKeyKey, "file-key");
        KeyStore memoryOnly(nullptr);
        memoryOnly.setKey("store-key");
        g.context.keys = &memoryOnly;
        MainWindow other(g.context);
        MainControls(other).keyButton->click();
        QVERIFY(loadedKeyWindow());
        QCOMPARE(KeyControls(*loadedKeyWindow()).keyField->text(), QString("store-key"));
        QCOMPARE(g.storedValue(kApiKeyKey), QString("file-key"));
    }

    // A first load with nothing stored leaves an empty key in the store.
    WindowFixture h;
    MainWindow fresh(h.context);
    QCOMPARE(h.storedValue(kApiKeyKey), QString("<missing>"));
    MainControls(fresh).keyButton->click();
    QVERIFY(loadedKeyWindow());
    QCOMPARE(KeyControls(*loadedKeyWindow()).keyField->text(), QString());
    QCOMPARE(h.storedValue(kApiKeyKey), QString());
    QVERIFY(f.dialogs.messages.isEmpty() && g.dialogs.messages.isEmpty() &&
            h.dialogs.messages.isEmpty());
}

QTEST_MAIN(TestKeyWindow)
#include "tst_keywindow.moc"
