#pragma once

#include "shell/jsonstring.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

namespace quillmore {

// Small, allocation-light JSON pieces for the results files, which pass tens
// of megabytes of answers: QJsonDocument builds a whole tree to say yes or no
// and sorts object keys, both too slow or wrong here.

// True when `text` is one JSON object or array (RFC 8259), white space around
// it allowed. Nesting deeper than 512 levels counts as not JSON.
bool isJsonContainer(QStringView text);

// A value of a flat object: a string, an array of strings or a whole number.
struct FlatJsonValue
{
    enum class Kind { Text, List, Number };
    Kind kind = Kind::Text;
    QString text;
    QStringList list;
    qint64 number = 0;
};
using FlatJsonObject = QHash<QString, FlatJsonValue>;

// Reads one JSON object, keeping the members whose values are strings, arrays
// of strings or whole numbers; members of any other kind are left out. Text
// that is not one complete JSON object gives nothing.
std::optional<FlatJsonObject> readFlatJsonObject(QStringView text);

} // namespace quillmore
