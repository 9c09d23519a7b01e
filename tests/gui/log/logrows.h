#pragma once

// Helpers of the log viewer tests: lines in the program's log format and
// the rows a table shows.

#include <QCoreApplication>
#include <QStringList>
#include <QTreeWidget>

#include "gui/log/logtable.h"

namespace logtest {

const char* const Stamp = "Mon Dec 7 09:59:44 2026";
const char* const Location = "BastivaConnectApp:file.cpp:fn():12";

// A line as the logging macro (or the service) writes it.
inline QString line(const QString& level, const QString& message,
                    const QString& stamp = QLatin1String(Stamp))
{
    return QStringLiteral("%1 [0x7f00] [%2] [%3] %4")
        .arg(stamp, level, QLatin1String(Location), message);
}

// Column 1 of every row, after the pending batch went in.
inline QStringList messages(LogTable* table)
{
    table->flushRows();
    QStringList out;
    for (int i = 0; i < table->topLevelItemCount(); ++i)
        out << table->topLevelItem(i)->text(1);
    return out;
}

// The messages that contain text.
inline QStringList containing(LogTable* table, const QString& text)
{
    return messages(table).filter(text);
}

} // namespace logtest
