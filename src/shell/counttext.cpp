#include "shell/counttext.h"

#include <QCoreApplication>
#include <QTranslator>

namespace quillmore {

namespace {

// The plural forms are translations of the source texts into English: Qt's
// own way to pick a form by the number, installed once for the program.
void installEnglishForms()
{
    static bool installed = false;
    if (installed || !QCoreApplication::instance())
        return;
    installed = true;
    auto* forms = new QTranslator(QCoreApplication::instance());
    if (forms->load(QStringLiteral(":/i18n/quillmore_en.qm")))
        QCoreApplication::installTranslator(forms);
}

} // namespace

QString countText(const char* text, qsizetype n)
{
    installEnglishForms();
    return QCoreApplication::translate("quillmore", text, nullptr, int(n));
}

} // namespace quillmore
