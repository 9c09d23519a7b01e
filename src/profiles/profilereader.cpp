// Loading one profile: the keys of its config.json, common and by type,
// checked and taken into a new record of the store.

#include "profiles/connprofiles.h"

#include "common/log.h"
#include "common/simplecrypt.h"

namespace ORVO {

namespace {

bool present(const QVariantMap& map, const QString& key)
{
    return !map.value(key).isNull();
}

} // namespace

int ConnProfiles::parseProfile(const QString& id, const QMap<QString, QVariant>& json)
{
    LOG_DEBUG << "[Profiles] Parsing profile: " << id;
    if (profiles.contains(id)) {
        LOG_ERROR;
        return -1;
    }
    std::unique_ptr<ConnProfile> p = readProfile(id, json, profilesPath);
    if (!p || addProfile(p.get()) != 0) {
        LOG_ERROR;
        return -1;
    }
    p.release();
    return 0;
}

std::unique_ptr<ConnProfile> ConnProfiles::readProfile(const QString& id,
                                                       const QMap<QString, QVariant>& json,
                                                       const QString& base)
{
    std::unique_ptr<ConnProfile> p(new ConnProfile());
    if (p->setBasePath(base) != 0 || p->setId(id) != 0 || parseProfileCommon(p.get(), json) != 0) {
        LOG_ERROR;
        return nullptr;
    }
    const int typed = p->getType() == ConnProfile::VpnType ? parseProfileVpn(p.get(), json)
                                                           : parseProfileLs(p.get(), json);
    if (typed != 0 || p->validate() != 0) {
        LOG_ERROR;
        return nullptr;
    }
    p->storedId = id;
    return p;
}

int ConnProfiles::parseProfileCommon(ConnProfile* p, const QMap<QString, QVariant>& json)
{
    if (p->setType(ConnProfile::typeFromString(json.value(QStringLiteral("type")).toString())) !=
        0) {
        LOG_ERROR;
        return -1;
    }
    if (present(json, QStringLiteral("mode"))) {
        const QString mode = json.value(QStringLiteral("mode")).toString();
        if (p->setConfigMode(ConnProfile::configModeFromString(mode)) != 0) {
            LOG_ERROR;
            return -1;
        }
        if (p->getConfigMode() == ConnProfile::FilesConfigMode) {
            if (!present(json, QStringLiteral("files"))) {
                LOG_ERROR;
                return -1;
            }
            const QStringList files = json.value(QStringLiteral("files")).toStringList();
            for (const QString& f : files) {
                if (!ConnProfile::isSafeReference(f)) {
                    LOG_ERROR;
                    return -1;
                }
            }
            if (p->setConfigFiles(files, QString(), true) != 0) {
                LOG_ERROR;
                return -1;
            }
        }
    }

    if (!present(json, QStringLiteral("auth")))
        return 0;
    const QVariantMap a = json.value(QStringLiteral("auth")).toMap();
    if (present(a, QStringLiteral("manual")))
        p->setManualAuth(a.value(QStringLiteral("manual")).toBool());
    if (present(a, QStringLiteral("remember")))
        p->setRememberAuth(a.value(QStringLiteral("remember")).toBool());

    libvelcor::Auth& auth = p->getAuth();
    libvelcor::Auth::Type authType = libvelcor::Auth::UserPassType;
    if (present(a, QStringLiteral("type"))) {
        const QString word = a.value(QStringLiteral("type")).toString();
        if (word == QLatin1String("user-pass")) {
            authType = libvelcor::Auth::UserPassType;
        } else if (word == QLatin1String("x509") || word == QLatin1String("pkcs12")) {
            authType = libvelcor::Auth::CertificateType;
        } else {
            LOG_ERROR;
            return -1;
        }
    }
    if (auth.setType(authType) != 0) {
        LOG_ERROR;
        return -1;
    }
    if (!p->getManualAuth())
        return 0;

    if (auth.getStrType() == QLatin1String("user-pass")) {
        if (!present(a, QStringLiteral("user")) ||
            auth.setUser(a.value(QStringLiteral("user")).toString()) != 0) {
            LOG_ERROR;
            return -1;
        }
    } else {
        const QString path = a.value(QStringLiteral("path")).toString();
        if (!present(a, QStringLiteral("path")) || !ConnProfile::isSafeReference(path) ||
            auth.setPath(path) != 0) {
            LOG_ERROR;
            return -1;
        }
    }
    if (!p->getRememberAuth())
        return 0;

    if (!present(a, QStringLiteral("pass")) ||
        auth.setPass(crypt->decryptToString(a.value(QStringLiteral("pass")).toString())) != 0) {
        LOG_ERROR;
        return -1;
    }
    return 0;
}

int ConnProfiles::parseProfileLs(ConnProfile* p, const QMap<QString, QVariant>& json)
{
    if (p->getAuth().setUrl(json.value(QStringLiteral("url")).toString()) != 0) {
        LOG_ERROR;
        return -1;
    }
    const QVariantMap ca = json.value(QStringLiteral("ca")).toMap();
    if (!present(ca, QStringLiteral("verify"))) {
        p->setCaVerify(false);
        return 0;
    }
    p->setCaVerify(ca.value(QStringLiteral("verify")).toBool());
    if (!p->getCaVerify())
        return 0;
    const QString path = ca.value(QStringLiteral("path")).toString();
    if (!present(ca, QStringLiteral("path")) || !ConnProfile::isSafeReference(path)) {
        LOG_ERROR;
        return -1;
    }
    p->setCaPath(path);
    return 0;
}

int ConnProfiles::parseProfileVpn(ConnProfile* p, const QMap<QString, QVariant>& json)
{
    if (p->getConfigMode() != ConnProfile::ManualConfigMode)
        return 0;
    if (!present(json, QStringLiteral("vpn"))) {
        LOG_ERROR;
        return -1;
    }
    const QVariantMap vpn = json.value(QStringLiteral("vpn")).toMap();
    const QString conf = vpn.value(QStringLiteral("conf")).toString();
    if (!present(vpn, QStringLiteral("conf")) || !ConnProfile::isBareName(conf)) {
        LOG_ERROR;
        return -1;
    }
    if (p->loadVpnConfig(p->profileDir() + QLatin1Char('/') + conf, true) != 0) {
        LOG_ERROR;
        return -1;
    }
    if (present(vpn, QStringLiteral("pull_routes")))
        p->setPullRoutes(vpn.value(QStringLiteral("pull_routes")).toBool());
    return 0;
}

} // namespace ORVO
