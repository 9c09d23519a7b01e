#include <QtTest>

#include "common/utils.h"
#include "testmain.h"

using ORVO::utils::cutForDisplay;

// Texts of the service and the management server as boxes and terminal
// lines show them: bounded in characters and in lines, the cut marked.
class TestDisplayText : public QObject
{
    Q_OBJECT

private slots:
    void cut_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        const QString mark = QString::fromUtf8(ORVO::utils::DisplayCutMark);
        const QString a2000(2000, QLatin1Char('a'));
        QString lines;
        for (int i = 1; i <= 1000; ++i)
            lines += QStringLiteral("line %1\n").arg(i);
        QString first30;
        for (int i = 1; i <= 30; ++i)
            first30 += QStringLiteral("line %1\n").arg(i);
        first30.chop(1);
        const QString smiley = QString::fromUtf8("\xf0\x9f\x98\x80");

        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("short") << QStringLiteral("refused") << QStringLiteral("refused");
        QTest::newRow("at the limit") << a2000 << a2000;
        QTest::newRow("one over") << a2000 + QLatin1Char('b') << a2000 + mark;
        QTest::newRow("900 KB on one line")
            << QString(900 * 1024, QLatin1Char('x')) << QString(2000, QLatin1Char('x')) + mark;
        QTest::newRow("1000 short lines") << lines << first30 + mark;
        QTest::newRow("30 lines and an empty one")
            << first30 + QLatin1Char('\n') << first30 + QLatin1Char('\n');
        QTest::newRow("31 lines") << first30 + QStringLiteral("\nlast") << first30 + mark;
        QTest::newRow("blanks before the cut")
            << QString(1990, QLatin1Char('a')) + QString(20, QLatin1Char(' ')) + QLatin1Char('z')
            << QString(1990, QLatin1Char('a')) + mark;
        // A character outside the BMP is two units: never half of one.
        QTest::newRow("surrogate pair at the cut")
            << QString(1999, QLatin1Char('a')) + smiley + QLatin1Char('b')
            << QString(1999, QLatin1Char('a')) + mark;
        QTest::newRow("surrogate pair before the cut")
            << QString(1998, QLatin1Char('a')) + smiley + QLatin1Char('b')
            << QString(1998, QLatin1Char('a')) + smiley + mark;
    }

    void cut()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        const QString out = cutForDisplay(text);
        QCOMPARE(out.size(), shown.size());
        QCOMPARE(out, shown);
    }

    void ownLimits()
    {
        QCOMPARE(cutForDisplay(QStringLiteral("abcdef"), 3, 0), QStringLiteral("abc [\u2026]"));
        QCOMPARE(cutForDisplay(QStringLiteral("a\nb\nc"), 100, 2), QStringLiteral("a\nb [\u2026]"));
        QCOMPARE(cutForDisplay(QStringLiteral("a\nb\nc"), 100, 0), QStringLiteral("a\nb\nc"));
        QCOMPARE(cutForDisplay(QStringLiteral("abc"), 0, 0), QStringLiteral(" [\u2026]"));
    }
};

ORVO_TEST_MAIN(TestDisplayText)
#include "tst_displaytext.moc"
