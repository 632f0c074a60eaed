#pragma once

#include <QSqlDatabase>

namespace quillmore::history {

// The schema this program writes; PRAGMA user_version holds the one a file has.
constexpr int kSchemaVersion = 1;

// Brings the file's schema up to kSchemaVersion, one step a version, each
// step in its own transaction together with its new version number, so a
// file is never left between two versions. A file of a newer version than
// this program knows is refused rather than written in a form it would
// misread. Throws SqlFault.
void migrate(const QSqlDatabase& db);

} // namespace quillmore::history
