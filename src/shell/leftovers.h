#pragma once

#include <QDateTime>
#include <QLockFile>
#include <QString>

#include <memory>

namespace quillmore {

// The lock that marks a private folder as ours and in use.
inline const QString kFolderLockName = QStringLiteral("quillmore.lock");
// The names our private folders are made with: the prefix, then the six
// characters QTemporaryDir puts in place of "XXXXXX".
inline const QString kStagingFolderPrefix = QStringLiteral("quillmore-");
inline const QString kWorkbookFolderPrefix = QStringLiteral("quillmore-book-");

// Locks `folder`/quillmore.lock for as long as the returned object lives, so
// that no other copy of the program takes the folder for a leftover. Null when
// the lock cannot be taken (then nothing marks the folder, and it is never
// removed as a leftover).
std::unique_ptr<QLockFile> claimFolder(const QString& folder);

// Whether `name` is `prefix` followed by exactly six letters or digits.
bool isTemporaryFolderName(const QString& name, const QString& prefix);

// Removes the private folders a crashed or killed copy of the program left in
// `parent`: each one directly in it whose name fits `namePrefix`, that is a
// real folder (not a link) owned by this user, and that holds our lock whose
// holder is gone. Anything else, among them folders whose lock a running
// process holds, is left alone. Returns how many folders were removed.
int removeLeftoverFolders(const QString& parent, const QString& namePrefix);

// How long a workbook folder stays after the hand-over at the least: the
// application it went to may have opened the file in place, and the user's
// save goes into that folder.
inline constexpr int kWorkbookKeepDays = 1;

// Removes the workbook folders in `parent` (see removeLeftoverFolders for
// which folders are ours) that nothing may use any more: no running copy
// holds their lock, neither they nor anything in them changed after
// `changedBefore`, and no process has anything in them open. Returns how many
// folders were removed.
int removeUnusedWorkbookFolders(const QString& parent, const QDateTime& changedBefore);

// Whether some process has a file in `folder` (or the folder itself) open.
// Only the processes this user may look into are seen, which are the ones
// whose saves could land there; without /proc the answer is yes.
bool isOpenByAnyProcess(const QString& folder);

// Removes a folder with everything in it; links inside are removed, never
// followed, and a link in place of the folder itself is refused. True when
// the folder is gone.
bool removeFolderTree(const QString& folder);

} // namespace quillmore
