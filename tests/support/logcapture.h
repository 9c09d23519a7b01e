#pragma once

#include <QRegularExpression>
#include <QString>
#include <QStringList>

namespace orvotest {

// Collects the Qt messages (the program's log lines among them) emitted
// while the object lives. "QObject::connect" warnings are passed on to the
// previous handler so that they still fail the test.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    QStringList lines() const;
    // Lines whose level word (the second bracketed field) is the given one.
    QStringList linesAt(const QString& levelWord) const;
    int count(const QRegularExpression& re) const;
    bool contains(const QString& text) const;
    void clear();

    // The log-line shape: date, [thread], [level], [app:file:function():line], message.
    static const QRegularExpression& lineShape();
};

} // namespace orvotest
