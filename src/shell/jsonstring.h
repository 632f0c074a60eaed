#pragma once

#include <QString>
#include <QStringView>

namespace quillmore {

// Appends `text` as a JSON string: quotes, backslashes and control characters
// escaped, everything else as it is. Every layer that writes JSON Lines (the
// results files, the contact tables) shares it, so they escape alike.
void appendJsonString(QString& out, QStringView text);

} // namespace quillmore
