#include <QtTest>

#include "common/simplecrypt.h"
#include "testmain.h"

namespace {

// Undoes the chain of a cipher text with the given key, so tests can look
// at the body (random byte, integrity value, payload) as it was written.
QByteArray unchain(const QByteArray& cypher, quint64 key)
{
    QByteArray body = cypher.mid(2);
    char chain = 0;
    for (int i = 0; i < body.size(); ++i) {
        const char c = body.at(i);
        body[i] = static_cast<char>(c ^ chain ^ static_cast<char>((key >> (8 * (i % 8))) & 0xff));
        chain = c;
    }
    return body;
}

} // namespace

class TestSimpleCrypt : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QString();
        QTest::newRow("short") << QStringLiteral("pa55");
        QTest::newRow("non-ascii") << QStringLiteral("Grüße, пароль, 密码");
        QTest::newRow("compressible") << QString(40, QLatin1Char('a'));
        QTest::newRow("with separators") << QStringLiteral("a+b&c=d \"e\"");
    }

    void roundTrip()
    {
        QFETCH(QString, text);
        SimpleCrypt crypt(ORVO::ScramblerKey);
        const QString scrambled = crypt.encryptToString(text);
        QCOMPARE(crypt.getLastError(), SimpleCrypt::ErrorNone);
        SimpleCrypt other(ORVO::ScramblerKey);
        QCOMPARE(other.decryptToString(scrambled), text);
        QCOMPARE(other.getLastError(), SimpleCrypt::ErrorNone);
    }

    void layout_data()
    {
        QTest::addColumn<QByteArray>("plain");
        QTest::addColumn<int>("flags");
        QTest::newRow("empty") << QByteArray() << 0x02;
        QTest::newRow("13 bytes stay plain") << QByteArray(13, 'x') << 0x02;
        QTest::newRow("17 repeats compress") << QByteArray(17, 'x') << 0x03;
    }

    void layout()
    {
        QFETCH(QByteArray, plain);
        QFETCH(int, flags);
        SimpleCrypt crypt(ORVO::ScramblerKey);
        const QByteArray cypher = crypt.encryptToByteArray(plain);
        QCOMPARE(quint8(cypher.at(0)), quint8(3));
        QCOMPARE(int(quint8(cypher.at(1))), flags);
        const QByteArray body = unchain(cypher, ORVO::ScramblerKey);
        QByteArray payload = body.mid(3);
        if (flags & 0x01)
            payload = qUncompress(payload);
        QCOMPARE(payload, plain);
        // The checksum is the CRC-16 of the payload as stored, big-endian.
        const QByteArray stored = body.mid(3);
        const quint16 crc = qChecksum(stored.constData(), uint(stored.size()));
        QCOMPARE(quint8(body.at(1)), quint8(crc >> 8));
        QCOMPARE(quint8(body.at(2)), quint8(crc & 0xff));
        if (plain.isEmpty()) {
            QCOMPARE(cypher.size(), 5);
            QCOMPARE(crypt.encryptToString(plain).size(), 8);
        }
    }

    void keyByteOrder()
    {
        // A key differing only in its least significant byte changes chain
        // positions 0, 8, 16...: a body of at most 8 bytes still decodes
        // except that the random byte differs, which the chain absorbs.
        SimpleCrypt a(ORVO::ScramblerKey);
        SimpleCrypt b(ORVO::ScramblerKey ^ 0x01);
        QCOMPARE(b.decryptToString(a.encryptToString(QStringLiteral("abcde"))),
                 QStringLiteral("abcde"));
        // A change in the most significant byte hits position 7 (payload):
        // the checksum no longer matches.
        SimpleCrypt c(ORVO::ScramblerKey ^ (quint64(0xff) << 56));
        QCOMPARE(c.decryptToString(a.encryptToString(QStringLiteral("abcde"))), QString());
        QCOMPARE(c.getLastError(), SimpleCrypt::ErrorIntegrity);
    }

    void twoScramblingsDiffer()
    {
        SimpleCrypt crypt(ORVO::ScramblerKey);
        QSet<QString> seen;
        for (int i = 0; i < 16; ++i)
            seen.insert(crypt.encryptToString(QStringLiteral("same")));
        QVERIFY(seen.size() > 1);
        for (const QString& s : qAsConst(seen))
            QCOMPARE(crypt.decryptToString(s), QStringLiteral("same"));
    }

    void failures_data()
    {
        QTest::addColumn<QByteArray>("cypher");
        QTest::addColumn<int>("error");
        QTest::addColumn<bool>("warns");
        QTest::newRow("shorter than 3") << QByteArray("\x03\x02") << -1 << false;
        QTest::newRow("clear text password")
            << QByteArray("secret") << int(SimpleCrypt::ErrorBadVersion) << true;
        QTest::newRow("checksum flag, nothing after")
            << QByteArray("\x03\x02\x00", 3) << int(SimpleCrypt::ErrorIntegrity) << false;
        QTest::newRow("hash flag, short")
            << QByteArray("\x03\x04\x00\x01\x02", 5) << int(SimpleCrypt::ErrorIntegrity) << false;
    }

    void failures()
    {
        QFETCH(QByteArray, cypher);
        QFETCH(int, error);
        QFETCH(bool, warns);
        SimpleCrypt crypt(ORVO::ScramblerKey);
        crypt.encryptToByteArray(QByteArray("x")); // lastError = ErrorNone
        if (warns)
            QTest::ignoreMessage(QtWarningMsg, "Invalid version or not a cyphertext.");
        QCOMPARE(crypt.decryptToByteArray(cypher), QByteArray());
        QCOMPARE(int(crypt.getLastError()), error == -1 ? int(SimpleCrypt::ErrorNone) : error);
    }

    void tamperedPayloadFailsIntegrity()
    {
        SimpleCrypt crypt(ORVO::ScramblerKey);
        QByteArray cypher = crypt.encryptToByteArray(QByteArray("password"));
        cypher[cypher.size() - 1] = char(cypher.at(cypher.size() - 1) ^ 0x10);
        QCOMPARE(crypt.decryptToByteArray(cypher), QByteArray());
        QCOMPARE(crypt.getLastError(), SimpleCrypt::ErrorIntegrity);
    }

    void brokenCompressionIsNotSuccess()
    {
        // A payload flagged compressed whose data is not zlib, with a
        // correct checksum, must report an integrity error.
        SimpleCrypt crypt(ORVO::ScramblerKey);
        crypt.setCompressionMode(SimpleCrypt::CompressNever);
        crypt.setProtectionMode(SimpleCrypt::ProtectNone);
        QByteArray cypher = crypt.encryptToByteArray(QByteArray("\x00\x00\x00\x10garbage!", 12));
        cypher[1] = char(0x01);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("qUncompress"));
        QCOMPARE(crypt.decryptToByteArray(cypher), QByteArray());
        QCOMPARE(crypt.getLastError(), SimpleCrypt::ErrorIntegrity);
        // A size header claiming gigabytes is refused without unpacking.
        cypher = crypt.encryptToByteArray(QByteArray("\x7f\xff\xff\xffxyz", 7));
        cypher[1] = char(0x01);
        QCOMPARE(crypt.decryptToByteArray(cypher), QByteArray());
        QCOMPARE(crypt.getLastError(), SimpleCrypt::ErrorIntegrity);
    }

    void hashAndNoProtection()
    {
        SimpleCrypt crypt(ORVO::ScramblerKey);
        crypt.setProtectionMode(SimpleCrypt::ProtectHash);
        const QByteArray cypher = crypt.encryptToByteArray(QByteArray("abc"));
        QCOMPARE(int(cypher.at(1)), 0x04);
        QCOMPARE(cypher.size(), 3 + 20 + 3);
        QCOMPARE(crypt.decryptToByteArray(cypher), QByteArray("abc"));

        crypt.setProtectionMode(SimpleCrypt::ProtectNone);
        const QByteArray bare = crypt.encryptToByteArray(QByteArray("abc"));
        QCOMPARE(int(bare.at(1)), 0x00);
        SimpleCrypt wrongKey(1);
        wrongKey.decryptToByteArray(bare);
        QCOMPARE(wrongKey.getLastError(), SimpleCrypt::ErrorNone);
    }

    void noKey()
    {
        SimpleCrypt crypt;
        QTest::ignoreMessage(QtWarningMsg, "No key set.");
        QCOMPARE(crypt.encryptToString(QString()), QString());
        QCOMPARE(crypt.getLastError(), SimpleCrypt::ErrorNoKey);
        QTest::ignoreMessage(QtWarningMsg, "No key set.");
        QCOMPARE(crypt.decryptToString(QString()), QString());
        crypt.setKey(0); // a zero key is a key
        QCOMPARE(crypt.decryptToString(crypt.encryptToString(QStringLiteral("z"))),
                 QStringLiteral("z"));
    }

    void emptyCipherTextIsSilent()
    {
        SimpleCrypt crypt(ORVO::ScramblerKey);
        QCOMPARE(crypt.decryptToString(QString()), QString());
        QCOMPARE(crypt.getLastError(), SimpleCrypt::ErrorNone);
    }
};

ORVO_TEST_MAIN(TestSimpleCrypt)
#include "tst_simplecrypt.moc"
