#pragma once

// The journal of a cycle of renames, kept by the save of the profile set.
// Private to the profiles layer.
//
// Renames that form a cycle (A and B swapping ids) are the one case where a
// profile directory is replaced while another profile still reads its
// files from the backup. While such a cycle is written, the journal names
// its profiles: a failure, or load after an interruption, puts every one of
// them back from its backup as it was, and removing the journal once the
// whole cycle is written commits it.

#include <QString>
#include <QStringList>

namespace ORVO {
namespace renamecycle {

// Writes the journal naming ids under the profiles root, whole or not at
// all: written aside, synced, renamed into place, ending with a closing
// line that its reader requires. Each fails with reason saying why.
int writeJournal(const QString& root, const QStringList& ids, QString& reason);
// The commit: without the journal the backups are plain leftovers. Done
// once the root is synced; should that fail, the journal of ids is written
// again for the undo.
int commitJournal(const QString& root, const QStringList& ids, QString& reason);
// Puts back, from its backup, every member that a journal under root names
// and that was written since, then removes the journal. 0 when there is no
// journal; on failure, a journal without its closing line included, the
// journal and the backups stay for the next attempt.
int rollBack(const QString& root, QString& reason);

} // namespace renamecycle
} // namespace ORVO
