#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>

namespace libvelcor {
namespace utils {

// Writes every byte to a file opened unbuffered, or fails: 0, or -1 with
// the file's errorString saying why. A short write is followed by a write
// of the rest, which fails with the reason (a full disk).
int writeAll(QFileDevice& file, const char* data, qint64 size);

// Syncs the folder dir to the disk: a rename or link made in it is kept
// by a power loss only from then on. 0, or -1 with errno set and error
// (when given) saying why ("Input/output error").
int syncDir(const QString& dir, QString* error = nullptr);
// For tests only, off by default: called with each folder about to be
// synced; an errno value it returns fails that sync as the system would.
using DirSyncHook = int (*)(const QString& dir);
void setDirSyncHook(DirSyncHook hook);

// A file written whole or not at all. The bytes go unbuffered into a
// temporary file beside path, so that a full disk fails the write that
// meets it (Qt's QSaveFile, buffered, can commit a short file and call it
// done); commit syncs that file, renames it over path and syncs the folder
// that holds it. Until then, and after any failure before the rename, path
// stays as it was.
class AtomicFile
{
public:
    explicit AtomicFile(const QString& path);
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // 0, or -1 with errorString. perms, when given, are the file's before
    // any byte is written (else those of the file it replaces, if any).
    // What path leads to, links followed, must be a regular file or none:
    // a device or a FIFO is never replaced ("Not a regular file").
    int open(QFileDevice::Permissions perms = QFileDevice::Permissions());
    // Writes every byte or fails; after a failure, commit fails too.
    int write(const char* data, qint64 size);
    int write(const QByteArray& bytes) { return write(bytes.constData(), bytes.size()); }
    // 0 when path now holds every byte written, on the disk; -1 with
    // errorString, path unchanged and the temporary file gone, except when
    // only the folder's sync failed (path then holds the bytes, which a
    // power loss may yet take back).
    int commit();
    // Drops what was written; path stays as it was.
    void cancel();
    // The system's reason for the first failure ("No space left on
    // device"); empty while nothing failed.
    QString errorString() const { return error; }

private:
    int fail(const QString& reason);

    QSaveFile file;
    QString error;
};

// Writes bytes to path atomically (AtomicFile): the old file stays whole
// when the write fails. 0 on success, -1 on failure, with the reason in
// error when given.
int bytes2File(const QByteArray& bytes, const QString& path, QString* error = nullptr);
// Removes a file or a directory tree. A symbolic link is removed itself,
// never what it points to. A path that does not exist counts as removed.
// 0 on success, -1 on failure.
int rmRec(const QString& path);

} // namespace utils
} // namespace libvelcor
