#pragma once

#include <QString>

namespace libvelcor {
namespace detail {

// Texts that end up in the service's line-based files must not hold line
// breaks or other control characters.
inline bool hasControlChars(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    }
    return false;
}

inline bool hasBlanks(const QString& text)
{
    for (const QChar c : text) {
        if (c.isSpace())
            return true;
    }
    return false;
}

} // namespace detail
} // namespace libvelcor
