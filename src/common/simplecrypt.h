#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

namespace ORVO {
// The one key with which the program scrambles every password it stores.
constexpr quint64 ScramblerKey = 0x5d2e8f71c40b9a36ULL;
} // namespace ORVO

// A keyed, reversible scrambler for the passwords kept on disk. It is not
// encryption: it keeps passwords from being readable at a glance. The
// format (version byte 3, flags, chained random byte, checksum or digest,
// optionally compressed payload) must stay stable: stored passwords depend
// on it.
class SimpleCrypt
{
public:
    enum CompressionMode : int { CompressAuto = 0, CompressAlways = 1, CompressNever = 2 };
    enum ProtectionMode : int { ProtectNone = 0, ProtectChecksum = 1, ProtectHash = 2 };
    enum Error : int { ErrorNone = 0, ErrorNoKey = 1, ErrorBadVersion = 2, ErrorIntegrity = 3 };
    enum CryptoFlag : int {
        CryptoFlagNone = 0,
        CryptoFlagCompression = 0x01,
        CryptoFlagChecksum = 0x02,
        CryptoFlagHash = 0x04
    };

    SimpleCrypt();
    explicit SimpleCrypt(quint64 key);

    void setKey(quint64 key);
    bool hasKey() const { return !keyBytes.isEmpty(); }

    void setCompressionMode(CompressionMode mode) { compressionMode = mode; }
    CompressionMode getCompressionMode() const { return compressionMode; }
    void setProtectionMode(ProtectionMode mode) { protectionMode = mode; }
    ProtectionMode getProtectionMode() const { return protectionMode; }
    Error getLastError() const { return lastError; }

    QByteArray encryptToByteArray(QByteArray plaintext);
    QByteArray encryptToByteArray(const QString& plaintext);
    QString encryptToString(QByteArray plaintext);
    QString encryptToString(const QString& plaintext);
    QByteArray decryptToByteArray(QByteArray cypher);
    QByteArray decryptToByteArray(const QString& cyphertext);
    QString decryptToString(QByteArray cypher);
    QString decryptToString(const QString& cyphertext);

private:
    void splitKey();

    quint64 key = 0;
    QVector<char> keyBytes;
    CompressionMode compressionMode = CompressAuto;
    ProtectionMode protectionMode = ProtectChecksum;
    Error lastError = ErrorNone;
};
