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
// Puts back, from its backup, each of ids that was written since the
// journal was made, then removes the journal. On failure the journal, if
// there, and the backups stay for the next attempt.
int undo(const QString& root, const QStringList& ids, QString& reason);
// The undo of the ids a journal under root names; of every backup under
// root when the journal is cut short or unreadable, since a journal in
// place means its cycle never committed. 0 when there is no journal.
int rollBack(const QString& root, QString& reason);

} // namespace renamecycle
} // namespace ORVO
