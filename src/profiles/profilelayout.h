#pragma once

// The names that a profile directory and the steps of its save leave on
// disk, shared by the record's save, the store's load and the save of the
// set. Private to the profiles layer.

#include <QString>
#include <QStringList>

namespace ORVO {
namespace profilelayout {

// <id>.profile is a profile; <id>.profile.tmp the new content being built,
// <id>.profile.old the previous one until the new one is in place, and
// <name>.del a directory on its way out.
inline const QString ProfileSuffix = QStringLiteral(".profile");
inline const QString TmpSuffix = QStringLiteral(".tmp");
inline const QString OldSuffix = QStringLiteral(".old");
inline const QString DelSuffix = QStringLiteral(".del");
// Names the profiles of a cycle of renames while it is written.
inline const QString CycleJournal = QStringLiteral("rename-cycle.journal");
inline const QString ConfigJson = QStringLiteral("config.json");
inline const QString OpenVpnConf = QStringLiteral("openvpn.conf");

// The id of a profile directory: its name up to the first '.'.
QString idOfDir(const QString& name);
// Sorts profile directory names in the order load reads them: by name, each
// <id>.profile first of its id, since a save writes the profile there; the
// first that loads takes the id.
void sortForLoading(QStringList& names);

// Puts right what an interrupted save left of one profile directory: the
// backup goes back where the directory is missing and is dropped where the
// directory is whole; a half-built temporary directory is dropped. On
// failure errno says why.
int recoverProfileDir(const QString& dir);

} // namespace profilelayout
} // namespace ORVO
