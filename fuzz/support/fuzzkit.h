#pragma once

// What the fuzz targets share: an application object and private per-user
// locations, captured log output, invariant checks, and the framing that
// turns one input into several files.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cstddef>
#include <cstdint>
#include <functional>

namespace fuzzkit {

// Once per process, from LLVMFuzzerInitialize: a QCoreApplication, data,
// settings and HOME inside a temporary directory that goes at exit, and
// Qt's message output taken over (dropped unless captured).
void init(int* argc, char*** argv);
// That temporary directory.
QString root();

// Keeps the log lines (Qt's message output) from now on; takeLog hands
// them over and starts afresh.
void setCapture(bool on);
QStringList takeLog();

// A broken invariant: says what, and stops the fuzzer with the input.
[[noreturn]] void fail(const char* what);
inline void check(bool ok, const char* what)
{
    if (!ok)
        fail(what);
}

// One input as several files. A line "@@ <name>" starts a file whose bytes
// run up to the next record; "@> <name> <target>" makes a symbolic link.
// Whatever comes before the first record is the head.
struct Record
{
    enum Kind { File, Link };
    Kind kind = File;
    QString name;
    QByteArray data; // file bytes, or the link's target
};
struct Framed
{
    QByteArray head;
    QVector<Record> records;
};
Framed unframe(const uint8_t* data, size_t size);

// A name that stays below the directory it is created in: relative, at
// most `depth` components, none of them empty, "." or "..".
bool isContained(const QString& name, int depth);
// Writes the records below dir, creating directories on the way. Records
// whose name or link target could leave dir are skipped.
void materialize(const QString& dir, const QVector<Record>& records);
// Empties dir, or creates it.
void resetDir(const QString& dir);
// Every entry below dir, as relative paths, sorted.
QStringList listTree(const QString& dir);
QByteArray readAll(const QString& path);

// Runs the event loop until done() holds or timeoutMs passes; false on
// timeout.
bool spin(const std::function<bool()>& done, int timeoutMs);
// Delivers what is posted and due now, deferred deletions included.
void drain();

} // namespace fuzzkit
