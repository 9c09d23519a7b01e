#include <QSettings>
#include <QTemporaryDir>

#include "common/common.h"
#include "main/startup.h"
#include "testenv.h"
#include "testmain.h"

Q_DECLARE_METATYPE(ORVO::StartMode)

using namespace ORVO;

namespace {

// argv as main() gets it: a writable, null-terminated array.
struct Args
{
    explicit Args(const QStringList& words)
    {
        for (const QString& w : words)
            storage << w.toLocal8Bit();
        for (QByteArray& b : storage)
            pointers << b.data();
        pointers << nullptr;
    }
    int argc() const { return storage.size(); }
    char** argv() { return pointers.data(); }

    QList<QByteArray> storage;
    QVector<char*> pointers;
};

} // namespace

class TestStartMode : public QObject
{
    Q_OBJECT

private slots:
    void modeWords_data();
    void modeWords();
    void modeSetting_data();
    void modeSetting();
    void systemScopeOnly();
    void argLookups();
    void usageText();
};

void TestStartMode::modeWords_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<StartMode>("mode");
    const QString exe = QStringLiteral("/opt/b/bin/bastiva-connect");
    QTest::newRow("none") << QStringList{exe} << StartMode::None;
    QTest::newRow("gui") << QStringList{exe, "gui"} << StartMode::FullGui;
    QTest::newRow("min") << QStringList{exe, "min"} << StartMode::MinimalGui;
    QTest::newRow("cmd") << QStringList{exe, "cmd"} << StartMode::CommandLine;
    QTest::newRow("gui beats min") << QStringList{exe, "min", "gui"} << StartMode::FullGui;
    QTest::newRow("min beats cmd") << QStringList{exe, "cmd", "min"} << StartMode::MinimalGui;
    QTest::newRow("help beats all") << QStringList{exe, "cmd", "gui", "help"} << StartMode::Help;
    QTest::newRow("upper case is no word") << QStringList{exe, "GUI"} << StartMode::None;
    QTest::newRow("whole entries only")
        << QStringList{exe, "--gui", "cmdx", "mi"} << StartMode::None;
    QTest::newRow("other entries ignored")
        << QStringList{exe, "-v", "x", "cmd", "y"} << StartMode::CommandLine;
    QTest::newRow("argv[0] takes part") << QStringList{"min"} << StartMode::MinimalGui;
    QTest::newRow("no entries") << QStringList{} << StartMode::None;
}

void TestStartMode::modeWords()
{
    QFETCH(QStringList, args);
    QFETCH(StartMode, mode);
    Args a(args);
    QCOMPARE(modeFromArgs(a.argc(), a.argv()), mode);
}

void TestStartMode::modeSetting_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<StartMode>("mode");
    QTest::newRow("absent") << QVariant() << StartMode::FullGui;
    QTest::newRow("minimal") << QVariant(QStringLiteral("minimal")) << StartMode::MinimalGui;
    QTest::newRow("capital") << QVariant(QStringLiteral("Minimal")) << StartMode::FullGui;
    QTest::newRow("padded") << QVariant(QStringLiteral("minimal ")) << StartMode::FullGui;
    QTest::newRow("full") << QVariant(QStringLiteral("full")) << StartMode::FullGui;
    QTest::newRow("empty") << QVariant(QString()) << StartMode::FullGui;
}

void TestStartMode::modeSetting()
{
    QFETCH(QVariant, value);
    QFETCH(StartMode, mode);
    QCOMPARE(modeFromSetting(value), mode);
}

// Only the system-scope store counts; a user-scope "mode" has no effect.
void TestStartMode::systemScopeOnly()
{
    orvotest::TestEnv env;
    QTemporaryDir system;
    QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, system.path());

    QSettings user(ORVO::org(), QStringLiteral("BastivaConnectApp"));
    user.setValue(QStringLiteral("mode"), QStringLiteral("minimal"));
    user.sync();
    QCOMPARE(modeFromSetting(readSystemMode()), StartMode::FullGui);

    {
        QSettings sys(QSettings::SystemScope, ORVO::org(), QStringLiteral("BastivaConnectApp"));
        sys.setValue(QStringLiteral("mode"), QStringLiteral("minimal"));
        sys.sync();
        QCOMPARE(sys.status(), QSettings::NoError);
    }
    user.setValue(QStringLiteral("mode"), QStringLiteral("full"));
    user.sync();
    QCOMPARE(readSystemMode().toString(), QStringLiteral("minimal"));
    QCOMPARE(modeFromSetting(readSystemMode()), StartMode::MinimalGui);
}

void TestStartMode::argLookups()
{
    Args a({"prog", "--log", "x.txt", "gui", "--log"});
    QVERIFY(hasArg(a.argc(), a.argv(), "prog"));
    QVERIFY(!hasArg(0, a.argv(), "prog"));
    char* next = nullptr;
    QVERIFY(hasArgNext(a.argc(), a.argv(), "--log", &next));
    QCOMPARE(QByteArray(next), QByteArray("x.txt"));
    next = nullptr;
    QVERIFY(!hasArgNext(a.argc(), a.argv(), "--missing", &next));
    Args last({"prog", "--log"});
    QVERIFY(!hasArgNext(last.argc(), last.argv(), "--log", &next));
    QCOMPARE(next, static_cast<char*>(nullptr));
}

void TestStartMode::usageText()
{
    const QByteArray text(::usageText());
    QCOMPARE(text.size(), 431);
    const QList<QByteArray> lines = text.split('\n');
    QCOMPARE(lines.size(), 8); // the text ends with a line feed
    QVERIFY(lines.at(0).isEmpty());
    QCOMPARE(lines.at(1).size(), 69);
    QVERIFY(lines.at(1).startsWith("Usage: %s [MODE] "));
    const char* words[] = {"help", "gui", "min", "cmd"};
    for (int i = 2; i < 7; ++i)
        QCOMPARE(lines.at(i).size(), 71);
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(lines.at(i + 3).mid(10, qstrlen(words[i])), QByteArray(words[i]));
        QVERIFY(lines.at(i + 3).at(38) == ' ' && lines.at(i + 3).at(39) != ' ');
    }
    QVERIFY(lines.at(7).isEmpty());
}

ORVO_TEST_MAIN(TestStartMode)
#include "tst_startmode.moc"
