#include <QApplication>
#include <QSignalSpy>
#include <QTemporaryFile>

#include <unistd.h>

#include "boxdriver.h"
#include "common/log.h"
#include "common/utils.h"
#include "gui/gui.h"
#include "gui/timedmessagebox.h"
#include "libvelcor/logger.h"
#include "logcapture.h"
#include "testenv.h"
#include "testmain.h"

using ORVO::Gui;

namespace {

// Standard error of this process, caught in a file while the object lives.
class StderrCapture
{
public:
    StderrCapture()
    {
        file.open();
        std::fflush(stderr);
        saved = ::dup(2);
        ::dup2(file.handle(), 2);
    }
    ~StderrCapture() { restore(); }
    QByteArray text()
    {
        restore();
        file.seek(0);
        return file.readAll();
    }

private:
    void restore()
    {
        if (saved < 0)
            return;
        std::fflush(stderr);
        ::dup2(saved, 2);
        ::close(saved);
        saved = -1;
    }
    QTemporaryFile file;
    int saved = -1;
};

// 900 KB of description and a 1,000-line extra text, as a faulty service
// or management server may send.
QString hugeLine()
{
    return QString(900 * 1024, QLatin1Char('d'));
}

QString manyLines()
{
    QString text;
    for (int i = 0; i < 1000; ++i)
        text += QStringLiteral("extra line %1\n").arg(i);
    return text;
}

const int Shown = ORVO::utils::DisplayMaxChars + 4;

// A shown text is bounded and marked as cut.
bool bounded(const QString& text)
{
    return text.size() <= Shown + 80 && text.count(QLatin1Char('\n')) < 31 &&
           text.endsWith(QString::fromUtf8(ORVO::utils::DisplayCutMark));
}

} // namespace

class TestGuiTexts : public QObject
{
    Q_OBJECT

private slots:
    // Each case builds its own GUI; the last one's tray asked to quit.
    void init() { orvotest::clearQuitRequest(); }
    void initTestCase()
    {
        Q_INIT_RESOURCE(resources);
        qRegisterMetaType<QAbstractButton*>();
        QDir::setSearchPaths(QStringLiteral("rc"), {QStringLiteral(":/rc"), QStringLiteral(":/")});
    }

    void cleanup()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            delete qobject_cast<ORVO::TimedMessageBox*>(w);
    }

    void shownTextsAreCut_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("withGui");
        for (const char* path : {"error", "error extra", "query", "info", "action"}) {
            QTest::newRow(qPrintable(QStringLiteral("%1, command line").arg(path)))
                << QString::fromLatin1(path) << false;
            QTest::newRow(qPrintable(QStringLiteral("%1, box").arg(path)))
                << QString::fromLatin1(path) << true;
        }
    }

    // Whatever the size of what arrives, a box or a terminal line shows a
    // bounded part of it; the log keeps an error whole.
    void shownTextsAreCut()
    {
        QFETCH(QString, path);
        QFETCH(bool, withGui);
        Gui gui(nullptr, withGui, false);
        QSignalSpy errors(&gui, SIGNAL(error(QString)));
        orvotest::LogCapture log;
        std::unique_ptr<BoxDriver> driver;
        if (withGui)
            driver.reset(new BoxDriver(QMessageBox::Cancel));
        StderrCapture err;

        if (path == QLatin1String("error")) {
            QMetaObject::invokeMethod(&gui, "_gotError",
                                      Q_ARG(ORVO::Module, ORVO::ModuleApiManager),
                                      Q_ARG(QString, hugeLine()), Q_ARG(QString, manyLines()));
        } else if (path == QLatin1String("error extra")) {
            QMetaObject::invokeMethod(
                &gui, "_gotError", Q_ARG(ORVO::Module, ORVO::ModuleApiManager),
                Q_ARG(QString, QStringLiteral("Login failed")), Q_ARG(QString, manyLines()));
        } else if (path == QLatin1String("query")) {
            QMetaObject::invokeMethod(&gui, "_gotQuery", Q_ARG(int, 3),
                                      Q_ARG(QString, hugeLine() + manyLines()));
        } else if (path == QLatin1String("info")) {
            const libvelcor::Auth auth(libvelcor::Auth::ProfileId, libvelcor::Auth::UserPassType,
                                       QString(), hugeLine(), QStringLiteral("pw"), QString());
            QMetaObject::invokeMethod(&gui, "_gotAuthChanged", Q_ARG(libvelcor::Auth, auth));
        } else {
            const QVariantMap data{{QStringLiteral("_type"), QStringLiteral("open")},
                                   {QStringLiteral("name"), manyLines()},
                                   {QStringLiteral("endpoint"), hugeLine()}};
            QMetaObject::invokeMethod(&gui, "_requestAction", Q_ARG(QVariantMap, data));
        }
        if (withGui)
            QTRY_VERIFY(driver->seen.shown);
        const QByteArray printed = err.text();

        if (withGui) {
            QVERIFY(driver->seen.shown);
            QVERIFY2(bounded(driver->seen.text), qPrintable(driver->seen.text.right(100)));
        } else {
            // The line of the box, and for a query or an action the refusal.
            const QList<QByteArray> lines = printed.split('\n');
            QVERIFY(printed.size() < 3 * Shown);
            QVERIFY2(lines.size() < 36, printed.right(200).constData());
            QVERIFY(printed.contains(QString::fromUtf8(ORVO::utils::DisplayCutMark).toUtf8()));
        }
        if (path.startsWith(QLatin1String("error"))) {
            QCOMPARE(errors.count(), 1);
            QVERIFY(bounded(errors.first().first().toString()));
            // The log has the text on one line, cut to its bound.
            const QStringList logged = log.linesAt(QStringLiteral("ERROR"));
            QCOMPARE(logged.size(), 1);
            QVERIFY(logged.first().contains(" (cut: "));
            QVERIFY(logged.first().size() < 2 * ORVO::log::MaxTextChars);
        }
    }

    // Short texts are shown as they came.
    void shortTextsWhole()
    {
        Gui gui(nullptr, true, false);
        BoxDriver driver(QMessageBox::Ok);
        QMetaObject::invokeMethod(&gui, "_gotError", Q_ARG(ORVO::Module, ORVO::ModuleManager),
                                  Q_ARG(QString, QStringLiteral("Bad parameters")),
                                  Q_ARG(QString, QStringLiteral("two\nlines")));
        QTRY_COMPARE(driver.seen.text, QStringLiteral("Manager: Bad parameters\n\n(two\nlines)"));
    }
};

ORVO_TEST_GUI_MAIN(TestGuiTexts)
#include "tst_guitexts.moc"
