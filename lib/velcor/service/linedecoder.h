#pragma once

#include <QByteArray>

#include <cstring>

namespace libvelcor {
namespace detail {

// Splits a byte stream into "\n"-terminated lines. Lines split across reads
// are joined; a "\r" before the "\n" is dropped. Memory stays bounded by
// the line limit: a line that grows past it is either cut (the first bytes
// are delivered, marked as cut, and the rest up to the next "\n" is
// skipped) or makes the decoder fail, as chosen at construction.
class LineDecoder
{
public:
    enum Overflow : int { CutLine, FailStream };

    LineDecoder(int maxLine, Overflow overflow) : maxLine(maxLine), overflow(overflow) {}

    // Calls sink(const char* data, int size, bool cut) for every complete
    // line, in order. Returns false once the decoder has failed; it then
    // ignores all further input until reset().
    template <class Sink> bool feed(const char* data, qint64 size, Sink&& sink)
    {
        if (failed)
            return false;
        const char* p = data;
        const char* end = data + size;
        while (p < end) {
            const char* nl = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
            if (skipping) {
                // Rest of a line that was already cut.
                if (!nl)
                    return true;
                skipping = false;
                p = nl + 1;
                continue;
            }
            if (!nl) {
                if (!appendPartial(p, end - p, sink))
                    return false;
                return true;
            }
            if (partial.isEmpty()) {
                // Fast path: the whole line is in this read.
                const qint64 len = nl - p;
                if (len > rawLimit()) {
                    if (!overflowLine(p, sink))
                        return false;
                } else if (!deliver(p, int(len), sink)) {
                    return false;
                }
            } else {
                if (!appendPartial(p, nl - p, sink))
                    return false;
                if (skipping) {
                    skipping = false;
                } else if (!deliver(partial.constData(), partial.size(), sink)) {
                    return false;
                }
                partial.clear();
            }
            p = nl + 1;
        }
        return true;
    }

    bool hasFailed() const { return failed; }
    // Bytes of an incomplete line held back.
    int pendingSize() const { return partial.size(); }
    void reset()
    {
        partial.clear();
        partial.squeeze();
        skipping = false;
        failed = false;
    }

private:
    // A line may hold one byte more than the limit when that byte is the
    // "\r" of a "\r\n" ending.
    qint64 rawLimit() const { return qint64(maxLine) + 1; }

    template <class Sink> bool deliver(const char* p, int len, Sink& sink)
    {
        if (len > 0 && p[len - 1] == '\r')
            --len;
        if (len > maxLine)
            return overflowLine(p, sink);
        sink(p, len, false);
        return true;
    }

    // Length of the longest prefix of p[0..len) that does not end inside a
    // UTF-8 sequence, so a cut line still decodes cleanly.
    static int utf8Boundary(const char* p, int len)
    {
        int i = len;
        int back = 0;
        while (i > 0 && back < 4 && (static_cast<unsigned char>(p[i - 1]) & 0xC0) == 0x80) {
            --i;
            ++back;
        }
        if (i == 0)
            return len;
        const unsigned char lead = static_cast<unsigned char>(p[i - 1]);
        int need = 1;
        if ((lead & 0xE0) == 0xC0)
            need = 2;
        else if ((lead & 0xF0) == 0xE0)
            need = 3;
        else if ((lead & 0xF8) == 0xF0)
            need = 4;
        if (lead >= 0x80 && back + 1 < need)
            return i - 1;
        return len;
    }

    // A line of more than maxLine bytes: the first maxLine bytes start at p.
    template <class Sink> bool overflowLine(const char* p, Sink& sink)
    {
        if (overflow == FailStream) {
            failed = true;
            partial.clear();
            partial.squeeze();
            return false;
        }
        sink(p, utf8Boundary(p, maxLine), true);
        return true;
    }

    template <class Sink> bool appendPartial(const char* p, qint64 len, Sink& sink)
    {
        if (partial.size() + len <= rawLimit()) {
            partial.append(p, int(len));
            return true;
        }
        // The line outgrows the limit: fill up to the limit, cut or fail,
        // and skip whatever follows up to the next "\n".
        partial.append(p, int(maxLine - qMin<qint64>(partial.size(), maxLine)));
        if (!overflowLine(partial.constData(), sink))
            return false;
        partial.clear();
        skipping = true;
        return true;
    }

    const int maxLine;
    const Overflow overflow;
    QByteArray partial;
    bool skipping = false;
    bool failed = false;
};

} // namespace detail
} // namespace libvelcor
