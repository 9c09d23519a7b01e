#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QPointer>
#include <QtTest>

#include "common/cookiejar.h"
#include "logcapture.h"
#include "testmain.h"

class TestCookieJar : public QObject
{
    Q_OBJECT

private slots:
    void survivesBorrowers()
    {
        auto* jar = new ORVO::CookieJar(nullptr);
        QPointer<ORVO::CookieJar> guard(jar);
        auto* a = new QNetworkAccessManager;
        auto* b = new QNetworkAccessManager;
        ORVO::borrowCookieJar(a, jar);
        ORVO::borrowCookieJar(b, jar);
        QCOMPARE(a->cookieJar(), jar);
        QCOMPARE(b->cookieJar(), jar);
        QVERIFY(jar->parent() == nullptr);
        delete a;
        delete b;
        QVERIFY(!guard.isNull());
        delete jar;
    }

    void keepsOwnerParent()
    {
        QObject owner;
        auto* jar = new ORVO::CookieJar(&owner);
        QNetworkAccessManager nam;
        ORVO::borrowCookieJar(&nam, jar);
        QCOMPARE(jar->parent(), &owner);
        // Installing another jar must not delete the borrowed one.
        QPointer<ORVO::CookieJar> guard(jar);
        nam.setCookieJar(new QNetworkCookieJar);
        QVERIFY(!guard.isNull());
    }

    void resetDropsCookiesForEveryBorrower()
    {
        ORVO::CookieJar jar;
        QNetworkAccessManager nam;
        ORVO::borrowCookieJar(&nam, &jar);
        const QUrl url(QStringLiteral("https://ls.test/portal"));
        QNetworkCookie cookie("session", "abc");
        jar.setCookiesFromUrl({cookie}, url);
        QCOMPARE(nam.cookieJar()->cookiesForUrl(url).size(), 1);
        orvotest::LogCapture log;
        jar.reset();
        QVERIFY(nam.cookieJar()->cookiesForUrl(url).isEmpty());
        QCOMPARE(log.linesAt("debug").size(), 2);
        QVERIFY(log.contains("session") && !log.contains("abc")); // the name, never the value
        jar.reset(); // empty jar: still two lines, still empty
        QCOMPARE(log.linesAt("debug").size(), 4);
    }
};

ORVO_TEST_MAIN(TestCookieJar)
#include "tst_cookiejar.moc"
