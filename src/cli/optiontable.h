#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace quillmore::cli {

// One line of the option table: the names the parser knows the option by, the
// name of its value (none for a switch), and its line of --help.
struct OptionEntry
{
    QStringList names;
    QString valueName;
    QString help;
    bool hidden = false;
};

// Every option, once: the parser and --help are both made from it.
const QList<OptionEntry>& optionTable();

// "-q" or "--quiet": how an option's name is typed.
QString optionCall(const QString& name);

} // namespace quillmore::cli
