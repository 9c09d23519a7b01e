#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

class QSettings;

namespace ORVO {
namespace utils {

// Makes the settings store's file readable by its owner only: created 0600
// (with its folder) when missing, group and other bits dropped when present.
// Scratch files of writes of it that a process which has ended left behind
// are removed. 0, or -1 with an error line.
int settingsMakePrivate(QSettings* settings);
// Writes a value to the settings store's file (key as seen from the
// store's open group) and has the store read the file again. The store
// itself is never changed in memory, and must hold no change of its own
// (setValue, remove), which Qt would write unchecked: a full disk can leave
// Qt's write short without a word. The change is made on a copy of the file
// (0600), which Qt writes and which replaces the file only once it reads
// back whole; a settings file that is a symbolic link stays one. 0 when the
// file holds the value (nothing is written when the store holds it
// already); -1 with an ERROR line for a null store, an empty key or a failed
// write, which leaves the file and the store as they were.
int settingsSetSync(QSettings* settings, const QString& key, const QVariant& value);
// Removes keys from the settings store's file in the same way: 0 when none
// is left there (nothing is written when the store holds none), -1 with an
// ERROR line with the file and the store as they were.
int settingsRemoveSync(QSettings* settings, const QStringList& keys);
// Why a write to the settings store failed, found after the fact (the store
// itself says no more than "access error"): its folder cannot be made, the
// file or the folder cannot be written, with the system's reason.
QString settingsWriteFailure(const QSettings* settings);

} // namespace utils
} // namespace ORVO
