#include <QUuid>

#include "common/applocation.h"
#include "testmain.h"

using ORVO::applocation::Entry;

// The stored form of an application location, shared by the launcher and
// the portal's settings dialog.
class TestAppLocations : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("result");
        QTest::addColumn<QStringList>("fields");

        // Well-formed entries also read back in compose().
        QTest::newRow("all empty") << "||" << 0 << QStringList{"", "", ""};
        QTest::newRow("blanks kept") << " a | b | c " << 0 << QStringList{" a ", " b ", " c "};
        QTest::newRow("two") << "Shell|/usr/bin/ssh" << -1 << QStringList{};
        QTest::newRow("four") << "Shell|/usr/bin/ssh|/a|b" << -1 << QStringList{};
        QTest::newRow("one") << "/opt/ssh" << -1 << QStringList{};
        QTest::newRow("empty") << "" << -1 << QStringList{};
    }
    void parse()
    {
        QFETCH(QString, value);
        QFETCH(int, result);
        QFETCH(QStringList, fields);
        Entry entry{"keep", "keep", "keep"};
        QCOMPARE(ORVO::applocation::parse(value, entry), result);
        if (result != 0)
            fields = QStringList{"keep", "keep", "keep"};
        QCOMPARE((QStringList{entry.remark, entry.path, entry.custom}), fields);
    }

    void compose_data()
    {
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QString>("value"); // "-" when refused

        QTest::newRow("three") << QStringList{"R", "P", "/c"} << "R|P|/c";
        QTest::newRow("no custom") << QStringList{"R", "P", ""} << "R|P|";
        QTest::newRow("separator in custom") << QStringList{"R", "P", "/a|b"} << "-";
        QTest::newRow("separator in remark") << QStringList{"R|x", "P", "/c"} << "-";
        QTest::newRow("separator in path") << QStringList{"R", "|", ""} << "-";
    }
    void compose()
    {
        QFETCH(QStringList, fields);
        QFETCH(QString, value);
        QString text = "untouched";
        const int result =
            ORVO::applocation::compose(Entry{fields.at(0), fields.at(1), fields.at(2)}, text);
        QCOMPARE(result, value == "-" ? -1 : 0);
        QCOMPARE(text, value == "-" ? QString("untouched") : value);
        // What is composed reads back the same.
        Entry back;
        if (result == 0) {
            QCOMPARE(ORVO::applocation::parse(text, back), 0);
            QCOMPARE((QStringList{back.remark, back.path, back.custom}), fields);
        }
    }

    void serverGroup()
    {
        QCOMPARE(ORVO::applocation::serverGroup(QUuid("{DA39A3EE-5E6B-5B0D-B255-BFEF95601890}")),
                 QString("ls_da39a3ee-5e6b-5b0d-b255-bfef95601890"));
    }
};

ORVO_TEST_MAIN(TestAppLocations)
#include "tst_applocations.moc"
