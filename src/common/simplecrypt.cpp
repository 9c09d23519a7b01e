#include "common/simplecrypt.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QRandomGenerator>

namespace {

// A scrambled password is short; a compressed payload that claims to unpack
// to more than this is corrupt, and unpacking it would only waste memory.
constexpr quint32 MaxUncompressedSize = 16 * 1024 * 1024;

void appendBigEndian16(QByteArray& out, quint16 value)
{
    out.append(static_cast<char>(value >> 8));
    out.append(static_cast<char>(value & 0xff));
}

quint16 readBigEndian16(const QByteArray& in)
{
    return static_cast<quint16>((static_cast<quint8>(in.at(0)) << 8) |
                                static_cast<quint8>(in.at(1)));
}

} // namespace

SimpleCrypt::SimpleCrypt() = default;

SimpleCrypt::SimpleCrypt(quint64 key) : key(key)
{
    splitKey();
}

void SimpleCrypt::setKey(quint64 value)
{
    key = value;
    splitKey();
}

void SimpleCrypt::splitKey()
{
    keyBytes.clear();
    keyBytes.resize(8);
    for (int i = 0; i < 8; ++i)
        keyBytes[i] = static_cast<char>((key >> (8 * i)) & 0xff);
}

QByteArray SimpleCrypt::encryptToByteArray(const QString& plaintext)
{
    return encryptToByteArray(plaintext.toUtf8());
}

QByteArray SimpleCrypt::encryptToByteArray(QByteArray plaintext)
{
    if (keyBytes.isEmpty()) {
        qWarning() << "No key set.";
        lastError = ErrorNoKey;
        return QByteArray();
    }

    char flags = CryptoFlagNone;
    QByteArray payload = plaintext;
    if (compressionMode == CompressAlways) {
        payload = qCompress(plaintext, 9);
        flags |= CryptoFlagCompression;
    } else if (compressionMode == CompressAuto) {
        const QByteArray compressed = qCompress(plaintext, 9);
        if (compressed.size() < plaintext.size()) {
            payload = compressed;
            flags |= CryptoFlagCompression;
        }
    }

    QByteArray integrity;
    if (protectionMode == ProtectChecksum) {
        flags |= CryptoFlagChecksum;
        appendBigEndian16(integrity,
                          qChecksum(payload.constData(), static_cast<uint>(payload.size())));
    } else if (protectionMode == ProtectHash) {
        flags |= CryptoFlagHash;
        integrity = QCryptographicHash::hash(payload, QCryptographicHash::Sha1);
    }

    QByteArray body;
    body.reserve(1 + integrity.size() + payload.size());
    body.append(static_cast<char>(QRandomGenerator::global()->generate() & 0xff));
    body.append(integrity);
    body.append(payload);

    char chain = 0;
    for (int i = 0; i < body.size(); ++i) {
        body[i] = static_cast<char>(body.at(i) ^ keyBytes.at(i % 8) ^ chain);
        chain = body.at(i);
    }

    QByteArray result;
    result.reserve(2 + body.size());
    result.append(char(0x03));
    result.append(flags);
    result.append(body);
    lastError = ErrorNone;
    return result;
}

QString SimpleCrypt::encryptToString(QByteArray plaintext)
{
    return QString::fromLatin1(encryptToByteArray(plaintext).toBase64());
}

QString SimpleCrypt::encryptToString(const QString& plaintext)
{
    return encryptToString(plaintext.toUtf8());
}

QByteArray SimpleCrypt::decryptToByteArray(const QString& cyphertext)
{
    return decryptToByteArray(QByteArray::fromBase64(cyphertext.toLatin1()));
}

QByteArray SimpleCrypt::decryptToByteArray(QByteArray cypher)
{
    if (keyBytes.isEmpty()) {
        qWarning() << "No key set.";
        lastError = ErrorNoKey;
        return QByteArray();
    }
    if (cypher.size() < 3)
        return QByteArray();
    if (static_cast<quint8>(cypher.at(0)) != 0x03) {
        lastError = ErrorBadVersion;
        qWarning() << "Invalid version or not a cyphertext.";
        return QByteArray();
    }
    const char flags = cypher.at(1);
    QByteArray body = cypher.mid(2);

    char chain = 0;
    for (int i = 0; i < body.size(); ++i) {
        const char cipherByte = body.at(i);
        body[i] = static_cast<char>(cipherByte ^ chain ^ keyBytes.at(i % 8));
        chain = cipherByte;
    }
    body = body.mid(1);

    if (flags & CryptoFlagChecksum) {
        if (body.size() < 2) {
            lastError = ErrorIntegrity;
            return QByteArray();
        }
        const quint16 stored = readBigEndian16(body);
        body = body.mid(2);
        if (stored != qChecksum(body.constData(), static_cast<uint>(body.size()))) {
            lastError = ErrorIntegrity;
            return QByteArray();
        }
    } else if (flags & CryptoFlagHash) {
        if (body.size() < 20) {
            lastError = ErrorIntegrity;
            return QByteArray();
        }
        const QByteArray stored = body.left(20);
        body = body.mid(20);
        if (QCryptographicHash::hash(body, QCryptographicHash::Sha1) != stored) {
            lastError = ErrorIntegrity;
            return QByteArray();
        }
    }

    if (flags & CryptoFlagCompression) {
        // qCompress puts the unpacked size, big-endian, in front of the data.
        if (body.size() < 4) {
            lastError = ErrorIntegrity;
            return QByteArray();
        }
        const quint32 expected = (static_cast<quint32>(static_cast<quint8>(body.at(0))) << 24) |
                                 (static_cast<quint32>(static_cast<quint8>(body.at(1))) << 16) |
                                 (static_cast<quint32>(static_cast<quint8>(body.at(2))) << 8) |
                                 static_cast<quint32>(static_cast<quint8>(body.at(3)));
        if (expected > MaxUncompressedSize) {
            lastError = ErrorIntegrity;
            return QByteArray();
        }
        const QByteArray unpacked = qUncompress(body);
        // An empty result for a non-empty original means the data was bad.
        if (unpacked.isEmpty() && expected != 0) {
            lastError = ErrorIntegrity;
            return QByteArray();
        }
        body = unpacked;
    }

    lastError = ErrorNone;
    return body;
}

QString SimpleCrypt::decryptToString(QByteArray cypher)
{
    return QString::fromUtf8(decryptToByteArray(cypher));
}

QString SimpleCrypt::decryptToString(const QString& cyphertext)
{
    return QString::fromUtf8(decryptToByteArray(cyphertext));
}
