// Fuzzes the log view's line parser with arbitrary text, as the local
// service may send it. Its fields are checked against the line format's
// own expression (a QRegExp of the three bracketed fields) on short lines,
// and its output stays within a few characters of the line's length.
#include <QRegExp>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "gui/log/logtable.h"

namespace {

// Backtracking makes the reference quadratic: it checks short lines only.
constexpr int ReferenceChars = 512;

void check(bool condition, int line = __builtin_LINE())
{
    if (condition)
        return;
    std::fprintf(stderr, "==FUZZ== check at fuzz_logparse.cpp:%d failed\n", line);
    std::abort();
}

bool isEmpty(const LogElem& e)
{
    return e.timestamp.isEmpty() && e.thread.isEmpty() && e.level.isEmpty() &&
           e.location.isEmpty() && e.message.isEmpty();
}

bool same(const LogElem& a, const LogElem& b)
{
    return a.timestamp == b.timestamp && a.thread == b.thread && a.level == b.level &&
           a.location == b.location && a.message == b.message;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString line = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    const int n = line.size();
    const LogElem high = LogTable::logParse(line, ORVO::VerbosityHigh);
    const LogElem low = LogTable::logParse(line, ORVO::VerbosityLow);

    // Only "trace" lines differ by verbosity, and only by being dropped.
    if (high.level == QLatin1String("trace"))
        check(isEmpty(low));
    else
        check(same(high, low));

    // A record has a message, or is empty as a whole.
    check(high.message.isEmpty() == isEmpty(high));
    if (!high.message.isEmpty()) {
        // Bounded: every field is a piece of the line; the message adds at
        // most a level tag's brackets and blank.
        check(high.timestamp.size() + high.thread.size() + high.level.size() +
                  high.location.size() <=
              n);
        check(high.message.size() <= n + 3);
        for (const QString* field : {&high.timestamp, &high.thread, &high.level, &high.location})
            check(!field->contains(QLatin1Char('[')) && line.contains(*field));
        check(high.timestamp == high.timestamp.trimmed());
    }

    if (n <= ReferenceChars) {
        QRegExp fields(
            QStringLiteral("([^\\[]*)\\[([^\\[]*)\\]\\s*\\[([^\\[]*)\\]\\s*\\[([^\\[]*)\\]\\s*"));
        if (fields.indexIn(line) < 0) {
            check(isEmpty(high));
        } else {
            check(!high.message.isEmpty());
            check(high.timestamp == fields.cap(1).trimmed());
            check(high.thread == fields.cap(2));
            check(high.level == fields.cap(3));
            check(high.location == fields.cap(4));
        }
    }
    return 0;
}
