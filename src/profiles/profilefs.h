#pragma once

// File-system steps of the profile save: renames that never replace,
// copies that never overwrite, private permissions. None of them logs; the
// callers do, under their own names.

#include <QString>

namespace ORVO {
namespace profilefs {

// True when anything, a dangling symbolic link included, has this name.
bool entryExists(const QString& path);
// True for a symbolic link, whatever it points to.
bool isSymLink(const QString& path);
// Renames a file, directory or link; fails when the target name is taken.
int moveEntry(const QString& from, const QString& to);
// Creates dir (with missing parents) and makes it private to the user.
int makePrivateDir(const QString& dir);
// Restricts a file to its owner (0600).
int makePrivateFile(const QString& path);
// Copies the regular file from into a new file to (0600); fails when to
// exists or anything goes wrong, leaving no partial target behind.
int copyToNew(const QString& from, const QString& to);
// True when both name regular files with the same bytes.
bool sameContent(const QString& a, const QString& b);
// The part of a path after its last '/'.
QString lastComponent(const QString& path);

} // namespace profilefs
} // namespace ORVO
