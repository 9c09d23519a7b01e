// The connection profile record: construction, equality, identity and the
// field rules. Its save, with the import of files, lives in profilewriter.cpp.

#include "profiles/connprofile.h"

#include <QFileInfo>
#include <QRegularExpression>

#include "common/log.h"
#include "common/simplecrypt.h"
#include "profiles/profilefs.h"

namespace ORVO {

using profilefs::isNonRegular;

namespace {

bool isRelative(const QString& path)
{
    return !path.startsWith(QLatin1Char('/'));
}

// The enumerations are refused when, read as unsigned, they reach their count.
bool inRange(int value, unsigned count)
{
    return static_cast<unsigned>(value) < count;
}

} // namespace

ConnProfile::ConnProfile()
{
    // The scrambler comes first: whatever the credential setters answer, a
    // later save relies on it.
    crypt = new SimpleCrypt(ScramblerKey);
    LOG_TRACE;
    if (auth.setId(libvelcor::Auth::ProfileId) != 0)
        LOG_ERROR;
    if (auth.setType(libvelcor::Auth::UserPassType) != 0)
        LOG_ERROR;
    if (auth.setUrl(QStringLiteral("https://:%1").arg(443)) != 0)
        LOG_ERROR;
}

ConnProfile::ConnProfile(const ConnProfile& other)
    : basePath(other.basePath), crypt(new SimpleCrypt(ScramblerKey)), id(other.id),
      type(other.type), configMode(other.configMode), configFiles(other.configFiles),
      manualAuth(other.manualAuth), rememberAuth(other.rememberAuth), p12Data(other.p12Data),
      auth(other.auth), caVerify(other.caVerify), caPath(other.caPath), caData(other.caData),
      confPath(other.confPath), owner(other.owner), connMode(other.connMode),
      vpnConfig(other.vpnConfig), pullRoutes(other.pullRoutes), storedId(other.storedId)
{
}

ConnProfile::~ConnProfile()
{
    delete crypt;
    crypt = nullptr;
}

bool ConnProfile::operator==(const ConnProfile& other) const
{
    return id == other.id && type == other.type && configMode == other.configMode &&
           configFiles == other.configFiles && manualAuth == other.manualAuth &&
           rememberAuth == other.rememberAuth && p12Data == other.p12Data && auth == other.auth &&
           caVerify == other.caVerify && caPath == other.caPath && caData == other.caData &&
           confPath == other.confPath && owner == other.owner && connMode == other.connMode &&
           vpnConfig == other.vpnConfig && pullRoutes == other.pullRoutes;
}

int ConnProfile::setBasePath(const QString& path)
{
    if (path.isEmpty() || !QFileInfo(path).isDir()) {
        LOG_ERROR;
        return -1;
    }
    basePath = path;
    return 0;
}

int ConnProfile::setId(const QString& newId)
{
    if (newId.isEmpty()) {
        LOG_ERROR;
        return -1;
    }
    id = newId;
    return 0;
}

int ConnProfile::setOrigId(const QString& newId)
{
    origId = newId;
    return 0;
}

int ConnProfile::checkId(const QString& candidate)
{
    // Anchored at the very end: "$" alone would let a trailing newline pass.
    static const QRegularExpression rule(
        QRegularExpression::anchoredPattern(QStringLiteral("[A-Za-z0-9\\-_ ]+")));
    return rule.match(candidate).hasMatch() ? 0 : -1;
}

ConnProfile::Type ConnProfile::typeFromString(const QString& s)
{
    if (s == QLatin1String("ls"))
        return LsType;
    if (s == QLatin1String("vpn"))
        return VpnType;
    return static_cast<Type>(-1);
}

QString ConnProfile::typeToString(Type t)
{
    switch (t) {
    case LsType:
        return QStringLiteral("ls");
    case VpnType:
        return QStringLiteral("vpn");
    }
    return QString();
}

ConnProfile::ConfigMode ConnProfile::configModeFromString(const QString& s)
{
    if (s == QLatin1String("manual"))
        return ManualConfigMode;
    if (s == QLatin1String("files"))
        return FilesConfigMode;
    return static_cast<ConfigMode>(-1);
}

QString ConnProfile::configModeToString(ConfigMode m)
{
    switch (m) {
    case ManualConfigMode:
        return QStringLiteral("manual");
    case FilesConfigMode:
        return QStringLiteral("files");
    }
    return QString();
}

ConnProfile::Owner ConnProfile::ownerFromString(const QString& s)
{
    if (s == QLatin1String("user"))
        return UserOwner;
    if (s == QLatin1String("all"))
        return AllOwner;
    return static_cast<Owner>(-1);
}

QString ConnProfile::ownerToString(Owner o)
{
    switch (o) {
    case UserOwner:
        return QStringLiteral("user");
    case AllOwner:
        return QStringLiteral("all");
    }
    return QString();
}

ConnProfile::ConnMode ConnProfile::connModeFromString(const QString& s)
{
    if (s == QLatin1String("manual"))
        return ManualConnMode;
    if (s == QLatin1String("login"))
        return LoginConnMode;
    if (s == QLatin1String("startup"))
        return StartupConnMode;
    return static_cast<ConnMode>(-1);
}

QString ConnProfile::connModeToString(ConnMode c)
{
    switch (c) {
    case ManualConnMode:
        return QStringLiteral("manual");
    case LoginConnMode:
        return QStringLiteral("login");
    case StartupConnMode:
        return QStringLiteral("startup");
    }
    return QString();
}

int ConnProfile::setType(Type t)
{
    if (!inRange(t, 2)) {
        LOG_ERROR;
        return -1;
    }
    if (t == LsType && auth.setType(libvelcor::Auth::UserPassType) != 0) {
        LOG_ERROR;
        return -1;
    }
    configMode = ManualConfigMode;
    caVerify = (t == VpnType);
    // Cleared under the previous type: only a vpn profile clears the CA path
    // of its OpenVPN settings.
    if (setCaPath(QString()) != 0) {
        LOG_ERROR;
        return -1;
    }
    type = t;
    return 0;
}

int ConnProfile::setConfigMode(ConfigMode m)
{
    if (!inRange(m, 2)) {
        LOG_ERROR;
        return -1;
    }
    configMode = m;
    return 0;
}

int ConnProfile::setManualAuth(bool value)
{
    manualAuth = value;
    return 0;
}

int ConnProfile::setRememberAuth(bool value)
{
    rememberAuth = value;
    return 0;
}

int ConnProfile::setAuth(const libvelcor::Auth& a)
{
    auth = a;
    return 0;
}

int ConnProfile::setP12Data(const QByteArray& data)
{
    p12Data = data;
    return 0;
}

int ConnProfile::setCaVerify(bool value)
{
    caVerify = value;
    return 0;
}

QString ConnProfile::getCaPath() const
{
    return type == VpnType ? vpnConfig.getCaPath() : caPath;
}

int ConnProfile::setCaPath(const QString& path)
{
    if (type == VpnType && vpnConfig.setCaPath(path) != 0) {
        LOG_ERROR;
        return -1;
    }
    caPath = path;
    return 0;
}

int ConnProfile::setCaData(const QString& data)
{
    caData = data;
    return 0;
}

int ConnProfile::setOwner(Owner o)
{
    if (!inRange(o, 2)) {
        LOG_ERROR;
        return -1;
    }
    owner = o;
    return 0;
}

int ConnProfile::setConnMode(ConnMode c)
{
    if (!inRange(c, 3)) {
        LOG_ERROR;
        return -1;
    }
    if (c == StartupConnMode && owner != AllOwner) {
        LOG_ERROR;
        return -1;
    }
    if (c == LoginConnMode && owner != UserOwner) {
        LOG_ERROR;
        return -1;
    }
    connMode = c;
    return 0;
}

int ConnProfile::setPullRoutes(bool value)
{
    pullRoutes = value;
    return 0;
}

QString ConnProfile::profileDir() const
{
    return basePath + QLatin1Char('/') + id + QLatin1String(".profile");
}

int ConnProfile::setConfigFiles(const QStringList& files, QString searchDir, bool check)
{
    LOG_DEBUG << "[Profile] files: " << files;
    if (type != VpnType) {
        configFiles = files;
        return 0;
    }

    // A copy: files may be our own list.
    const QStringList entries = files;
    const QString dir = profileDir();
    libvelcor::VpnConfig probe;
    QString chosen;
    bool found = false;
    for (const QString& entry : entries) {
        QString candidate;
        QString probePath;
        if (isRelative(entry)) {
            candidate = dir + QLatin1Char('/') + entry;
            probePath = searchDir.isEmpty() ? candidate : searchDir + QLatin1Char('/') + entry;
        } else {
            candidate = entry;
            probePath = entry;
        }
        LOG_DEBUG << "[Profile] Searching config in: " << probePath;
        // Only regular files: opening a FIFO would wait for a writer.
        if (isNonRegular(probePath)) {
            LOG_ERROR << "[Profile] Not a regular file: " << probePath;
            continue;
        }
        if (probe.fromFile(probePath, true) == 0) {
            chosen = candidate;
            found = true;
            break;
        }
    }
    if (!found) {
        LOG_ERROR;
        return -1;
    }
    if (setConfPath(chosen, check) != 0) {
        LOG_ERROR;
        return -1;
    }
    configFiles = entries;
    return 0;
}

int ConnProfile::setConfPath(const QString& path, bool check)
{
    LOG_DEBUG << "[Profile] confPath: " << path;
    const QString full = isRelative(path) ? profileDir() + QLatin1Char('/') + path : path;
    if (check) {
        const QFileInfo info(full);
        if (!info.isReadable() || !info.isFile()) {
            LOG_ERROR;
            return -1;
        }
    }
    confPath = full;
    return 0;
}

int ConnProfile::loadVpnConfig(const QString& path, bool fromFileFlag)
{
    // Only a regular file: opening a FIFO would wait for a writer.
    if (isNonRegular(path)) {
        LOG_ERROR << "[Profile] Not a regular file: " << path;
        return -1;
    }
    if (vpnConfig.fromFile(path, fromFileFlag) != 0) {
        LOG_ERROR;
        return -1;
    }
    if (setConfPath(path, true) != 0) {
        LOG_ERROR;
        return -1;
    }
    return 0;
}

int ConnProfile::validate()
{
    if (manualAuth && rememberAuth && auth.validate() != 0) {
        LOG_ERROR;
        return -1;
    }
    return 0;
}

bool ConnProfile::isBareName(const QString& name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && name != QLatin1String(".") &&
           name != QLatin1String("..");
}

bool ConnProfile::isSafeReference(const QString& ref)
{
    return ref.isEmpty() || !isRelative(ref) || isBareName(ref);
}

} // namespace ORVO

namespace ORVO {

void registerProfileMetaTypes()
{
    qRegisterMetaType<ORVO::ConnProfile*>("ORVO::ConnProfile*");
}

} // namespace ORVO
