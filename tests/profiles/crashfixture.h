#pragma once

// The profile set that the crash-safety child saves over and over. Version
// k of a profile carries "v<k>" as its password and "v<k> <tag>" inside
// every file it references, so a profile made of two versions shows. The
// tag is the id, except for the two profiles that swap their ids in every
// save (a rename cycle): there it is S1 for the one with a CA file and S2
// for the one with a PKCS#12 file, whose kinds travel with them.

#include <QDir>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QSaveFile>
#include <QString>
#include <QStringList>

#include "profiles/connprofiles.h"

namespace crashfixture {

inline const QStringList& ids()
{
    static const QStringList list{"P0 ls", "P1 vpn", "P2 files", "P3 pkcs12", "P4 swap", "P5 swap"};
    return list;
}

// The two profiles that swap ids, and the parking id of the swap.
inline const QStringList& swapIds()
{
    static const QStringList list{"P4 swap", "P5 swap"};
    return list;
}
inline const QStringList& swapTags()
{
    static const QStringList list{"S1", "S2"};
    return list;
}
const char* const SwapParking = "P9 parking";

enum Kind { Ls, VpnManual, VpnFiles, VpnPkcs12 };

inline Kind kindOf(const QString& tag)
{
    static const QMap<QString, Kind> kinds{{"P0 ls", Ls},          {"P1 vpn", VpnManual},
                                           {"P2 files", VpnFiles}, {"P3 pkcs12", VpnPkcs12},
                                           {"S1", VpnManual},      {"S2", VpnPkcs12}};
    return kinds.value(tag, Ls);
}

// Where a swapping profile belongs at a version: S1 under "P4 swap" at even
// versions, under "P5 swap" at odd ones.
inline QString swapPlace(const QString& tag, int version)
{
    return swapIds().at((swapTags().indexOf(tag) + version) % 2);
}

inline QString tagOf(ORVO::ConnProfile* p)
{
    if (!swapIds().contains(p->getId()))
        return p->getId();
    return swapTags().at(p->getAuth().getType() == libvelcor::Auth::CertificateType ? 1 : 0);
}

inline bool writeText(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(path.left(path.lastIndexOf('/')));
    QSaveFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.commit();
}

inline QByteArray mark(int version, const QString& tag)
{
    return QStringLiteral("v%1 %2").arg(version).arg(tag).toUtf8();
}

// Gives every profile of the store version k, creating missing ones; the
// swapping profiles change places first when they are not where version k
// puts them.
inline bool applyVersion(ORVO::ConnProfiles& store, const QString& extDir, int version)
{
    using ORVO::ConnProfile;
    if (ConnProfile* first = store.get(swapIds().at(0))) {
        if (swapPlace(tagOf(first), version) != swapIds().at(0) &&
            (store.rename(swapIds().at(0), SwapParking) != 0 ||
             store.rename(swapIds().at(1), swapIds().at(0)) != 0 ||
             store.rename(SwapParking, swapIds().at(1)) != 0))
            return false;
    }
    for (const QString& id : ids()) {
        ConnProfile* p = store.get(id);
        if (!p) {
            p = store.add(id);
            if (!p)
                return false;
            const int swapAt = swapIds().indexOf(id);
            const QString tag = swapAt < 0 ? id : swapTags().at(swapAt);
            const Kind kind = kindOf(tag);
            p->setType(kind == Ls ? ConnProfile::LsType : ConnProfile::VpnType);
            p->getAuth().setUrl("https://ls.example.org");
            p->getAuth().setUser("u");
            if (kind == VpnFiles)
                p->setConfigMode(ConnProfile::FilesConfigMode);
            if (kind == VpnPkcs12)
                p->getAuth().setType(libvelcor::Auth::CertificateType);
        }
        // The chosen files are rewritten in place for each version.
        const QString tag = tagOf(p);
        const QString dir = extDir + QLatin1Char('/') + tag + QLatin1Char('/');
        const QByteArray m = mark(version, tag);
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
// belongs to the profile's version and tag; else what is wrong.
inline QString checkFiles(const QString& profileDir, const QString& tag, int version)
{
    QStringList names;
    switch (kindOf(tag)) {
    case Ls:
    case VpnManual:
        names << "ca.pem";
        break;
    case VpnFiles:
        names << "client.conf"
              << "ca.pem";
        break;
    case VpnPkcs12:
        names << "id.p12";
        break;
    }
    for (const QString& name : names) {
        QFile f(profileDir + "/" + name);
        if (!f.open(QIODevice::ReadOnly))
            return tag + ": " + name + " missing";
        if (!f.readAll().contains(mark(version, tag)))
            return tag + ": " + name + " is not of version " + QString::number(version);
    }
    return QString();
}

} // namespace crashfixture
