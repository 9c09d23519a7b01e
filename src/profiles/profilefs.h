#pragma once

// File-system steps of the profile save: renames that never replace,
// copies that never overwrite, private permissions. None of them logs; the
// callers do, under their own names.

#include <QByteArray>
#include <QString>

namespace ORVO {
namespace profilefs {

// True when anything, a dangling symbolic link included, has this name.
bool entryExists(const QString& path);
// True for a symbolic link, whatever it points to.
bool isSymLink(const QString& path);
// True for a regular file (links followed) that this process may read.
bool isReadableFile(const QString& path);
// True when something other than a regular file (a FIFO, a device, a
// socket, a directory) has this name, links followed.
bool isNonRegular(const QString& path);
// Reads a regular file of at most maxSize bytes. Anything else (a FIFO, a
// device, a directory, a larger file) is refused without blocking: -1.
int readRegularFile(const QString& path, qint64 maxSize, QByteArray& bytes);
// Renames a file, directory or link, and syncs the folders concerned;
// fails when the target name is taken. A failed sync fails it too, errno
// saying why, with the entry already under its new name: renamed, when
// given, says whether the rename was made.
int moveEntry(const QString& from, const QString& to, bool* renamed = nullptr);
// Removes a file, link or directory tree (links not followed); 0 when
// nothing has the name. Stops at the first step that fails, errno saying
// why.
int removeTree(const QString& path);
// Creates dir (with missing parents) and makes it private to the user.
int makePrivateDir(const QString& dir);
// Restricts a file to its owner (0600).
int makePrivateFile(const QString& path);
// Copies the regular file from into a new file to (0600); fails when to
// exists or anything goes wrong, leaving no partial target behind, with
// problem in the words of failureText, naming whichever of the two failed.
int copyToNew(const QString& from, const QString& to, QString& problem);
// True when both name regular files with the same bytes.
bool sameContent(const QString& a, const QString& b);
// The system's reason for the step that has just failed on path, with the
// path, as the user reads it. Taken before anything else can change errno.
QString failureText(const QString& path);
// The same with the reason given ("No space left on device").
QString failureText(const QString& path, const QString& reason);
// Whether dir can be listed; the reason, in the words of failureText, when
// it cannot.
int checkListable(const QString& dir, QString& reason);
// The part of a path after its last '/'.
QString lastComponent(const QString& path);

} // namespace profilefs
} // namespace ORVO
