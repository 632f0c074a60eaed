#pragma once

#include <QMetaType>
#include <QString>
#include <QStringList>

namespace quillmore {

// One row of the results list with what it was made from: the number as the
// list held it and the service's answer text, so that the row can be kept,
// restored and exported with every field the service sent.
struct ResultRecord
{
    QString number;    // the number list entry, as typed
    QStringList cells; // "Phone Number", "Type", "Name", "Location", "Provider", "Status"
    QString answer;    // the answer text the row was read from
    bool ticked = false;
};

// The results list's column captions, which the results files repeat.
inline const QStringList kResultCaptions = {
    QStringLiteral("Phone Number"), QStringLiteral("Type"),     QStringLiteral("Name"),
    QStringLiteral("Location"),     QStringLiteral("Provider"), QStringLiteral("Status")};

} // namespace quillmore

Q_DECLARE_METATYPE(quillmore::ResultRecord)
