#pragma once

// The profile set that the crash-safety child saves over and over. Version
// k of a profile carries "v<k>" as its password and "v<k> <id>" inside
// every file it references, so a profile made of two versions shows.

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QString>
#include <QStringList>

#include "ORVO/connprofiles.h"

namespace crashfixture {

inline const QStringList& ids()
{
    static const QStringList list{"P0 ls", "P1 vpn", "P2 files", "P3 pkcs12"};
    return list;
}

inline bool writeText(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(path.left(path.lastIndexOf('/')));
    QSaveFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.commit();
}

inline QByteArray mark(int version, const QString& id)
{
    return QStringLiteral("v%1 %2").arg(version).arg(id).toUtf8();
}

// Gives every profile of the store version k, creating missing ones.
inline bool applyVersion(ORVO::ConnProfiles& store, const QString& extDir, int version)
{
    using ORVO::ConnProfile;
    for (const QString& id : ids()) {
        ConnProfile* p = store.get(id);
        if (!p) {
            p = store.add(id);
            if (!p)
                return false;
            const int n = ids().indexOf(id);
            p->setType(n == 0 ? ConnProfile::LsType : ConnProfile::VpnType);
            p->getAuth().setUrl("https://ls.example.org");
            p->getAuth().setUser("u");
            if (n == 2)
                p->setConfigMode(ConnProfile::FilesConfigMode);
            if (n == 3)
                p->getAuth().setType(libvelcor::Auth::CertificateType);
        }
        // The chosen files are rewritten in place for each version.
        const QString dir = extDir + QLatin1Char('/') + id + QLatin1Char('/');
        const QByteArray m = mark(version, id);
        const QByteArray pem =
            "-----BEGIN CERTIFICATE-----\n" + m + "\n-----END CERTIFICATE-----\n";
        if (!writeText(dir + "ca.pem", pem) ||
            !writeText(dir + "client.conf", "client\nremote h 1194\n# " + m + "\n") ||
            !writeText(dir + "id.p12", QByteArray("\x30\x82", 2) + m + QByteArray(1, '\0')))
            return false;
        p->getAuth().setPass(QStringLiteral("v%1").arg(version));
        if (p->getType() == ConnProfile::LsType) {
            p->setCaVerify(true);
            p->setCaPath(dir + "ca.pem");
        } else if (p->getConfigMode() == ConnProfile::FilesConfigMode) {
            if (p->setConfigFiles({dir + "client.conf", dir + "ca.pem"}, QString(), true) != 0)
                return false;
        } else if (p->getAuth().getType() == libvelcor::Auth::CertificateType) {
            p->getAuth().setPath(dir + "id.p12");
        } else {
            p->setCaPath(dir + "ca.pem");
        }
    }
    return true;
}

// The version of a loaded profile, -1 when its password carries none.
inline int versionOf(ORVO::ConnProfile* p)
{
    static const QRegularExpression re(QStringLiteral("^v(\\d+)$"));
    const QRegularExpressionMatch m = re.match(p->getAuth().getPass());
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// Empty when every file of the profile's directory that it references
// belongs to the profile's version; else what is wrong.
inline QString checkFiles(const QString& profileDir, const QString& id, int version)
{
    const int n = ids().indexOf(id);
    QStringList names;
    if (n == 0 || n == 1)
        names << "ca.pem";
    if (n == 2)
        names << "client.conf"
              << "ca.pem";
    if (n == 3)
        names << "id.p12";
    for (const QString& name : names) {
        QFile f(profileDir + "/" + name);
        if (!f.open(QIODevice::ReadOnly))
            return id + ": " + name + " missing";
        if (!f.readAll().contains(mark(version, id)))
            return id + ": " + name + " is not of version " + QString::number(version);
    }
    return QString();
}

} // namespace crashfixture
