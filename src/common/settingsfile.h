#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

class QSettings;

namespace ORVO {
namespace utils {

// To be called before any settings store of organization and application
// is made. Where one of the files their stores read (the user's file and
// the organization's beside it, and both in each system folder) is there
// but not a regular file or a folder (a FIFO, which Qt's read would wait on
// for ever, or a device), every store of that scope in this process is
// pointed below that file, where it reads nothing and any write fails
// naming it: that scope's settings are the defaults. 0 when every file is
// fit or missing; -1 with problem naming each file and why.
int settingsGuardFiles(const QString& organization, const QString& application, QString& problem);
// Makes the settings store's file readable by its owner only: created 0600
// (with its folder) when missing, group and other bits dropped when present.
// Scratch files of writes of it that a process which has ended left behind
// are removed. 0, or -1 with an error line.
int settingsMakePrivate(QSettings* settings);
// Writes a value to the settings store's file (key as seen from the
// store's open group) and has the store read the file again. The store
// itself is never changed in memory, and must hold no change of its own
// (setValue, remove), which Qt would write unchecked: a full disk can leave
// Qt's write short without a word. One that it holds all the same is
// written first, by Qt, as Qt would write it at the next turn of the event
// loop. Under the lock that Qt's stores take to write the file, the change
// is made on a copy of the file (0600), which Qt writes and which replaces
// the file only once it reads back whole; a settings file that is a
// symbolic link stays one. The lock is waited for a few seconds, before
// that first write and again after it: held longer by another program, it
// refuses the change ("in use by another program"). 0 when the file holds
// the value (nothing is written when it holds it already); -1 with an
// ERROR line for a null store, an empty key or a failed write, which leaves
// the file and the store as they were, with why (when given) saying why for
// the user: "cannot write the settings file ...: no space left on device".
// Only a failed sync of the folder after the rename leaves the new file,
// which a power loss may yet undo.
int settingsSetSync(QSettings* settings, const QString& key, const QVariant& value,
                    QString* why = nullptr);
// Removes keys from the settings store's file in the same way: 0 when the
// file holds none of them (nothing is written when it held none), -1 with
// an ERROR line and why, the file and the store as they were.
int settingsRemoveSync(QSettings* settings, const QStringList& keys, QString* why = nullptr);

} // namespace utils
} // namespace ORVO
