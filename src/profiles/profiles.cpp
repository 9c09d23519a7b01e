// The profile store, and the record's own save with the import and carry of
// its files.
//
// A profile directory is never written in place: the new content is built
// in <id>.profile.tmp, the old directory goes to <id>.profile.old, the new
// one takes its name and the backup is removed. A directory to delete is
// first renamed to <name>.del. Whatever an interrupted process leaves of
// these, load puts right before it reads anything.
//
// Renames that form a cycle (A and B swapping ids) are the exception: the
// first profile of the cycle written replaces a directory whose files the
// last one still reads from its backup. While such a cycle is written, the
// file rename-cycle.journal names its profiles; a failure, or load after an
// interruption, puts every one of them back from its backup as it was, and
// removing the journal once the whole cycle is written commits it.

#include "profiles/connprofiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QRegularExpression>
#include <QUrl>

#include <functional>

#include <libvelcor/json.h>
#include <libvelcor/utils.h>

#include "common/common.h"
#include "common/log.h"
#include "common/simplecrypt.h"
#include "profiles/profilefs.h"

namespace ORVO {

using namespace profilefs;

namespace {

const QString ProfileSuffix = QStringLiteral(".profile");
const QString TmpSuffix = QStringLiteral(".tmp");
const QString OldSuffix = QStringLiteral(".old");
const QString DelSuffix = QStringLiteral(".del");
const QString CycleJournal = QStringLiteral("rename-cycle.journal");
const QString ConfigJson = QStringLiteral("config.json");
const QString OpenVpnConf = QStringLiteral("openvpn.conf");

bool isAbsolute(const QString& path)
{
    return path.startsWith(QLatin1Char('/'));
}

// Empty texts must reach the JSON writer as strings, not as nulls.
QVariant text(const QString& s)
{
    return s.isNull() ? QVariant(QStringLiteral("")) : QVariant(s);
}

bool present(const QVariantMap& map, const QString& key)
{
    return !map.value(key).isNull();
}

QStringList listProfileDirs(const QString& root)
{
    // Case-sensitive: "Work.PROFILE" is not a profile directory.
    return QDir(root).entryList(QStringList{QStringLiteral("*.profile")},
                                QDir::Dirs | QDir::CaseSensitive, QDir::Name);
}

// The id of a profile directory: its name up to the first '.'.
QString baseNameOf(const QString& name)
{
    return name.section(QLatin1Char('.'), 0, 0);
}

// Puts right what an interrupted save left of one profile directory: the
// backup goes back where the directory is missing and is dropped where the
// directory is whole; a half-built temporary directory is dropped.
int recoverProfileDir(const QString& dir)
{
    int result = 0;
    const QString old = dir + OldSuffix;
    if (entryExists(old)) {
        if (!entryExists(dir)) {
            if (moveEntry(old, dir) != 0)
                result = -1;
        } else if (libvelcor::utils::rmRec(old) != 0) {
            result = -1;
        }
    }
    const QString tmp = dir + TmpSuffix;
    if (entryExists(tmp) && libvelcor::utils::rmRec(tmp) != 0)
        result = -1;
    return result;
}

// The id that a save under a new id tries next: a--7 gives a--8, a gives a--1.
QString nextId(const QString& id)
{
    static const QRegularExpression numbered(QStringLiteral("^(.*)--([0-9]+)$"));
    const QRegularExpressionMatch m = numbered.match(id);
    if (!m.hasMatch())
        return id + QStringLiteral("--1");
    bool ok = false;
    qint64 n = m.captured(2).toInt(&ok);
    if (!ok)
        n = 0;
    return m.captured(1) + QStringLiteral("--") + QString::number(n + 1);
}

} // namespace

// ---------------------------------------------------------------------------
// The record's save

QString ConnProfile::originDir() const
{
    if (inSetSave)
        return setOrigin;
    if (!origId.isEmpty() && origId != id)
        return basePath + QLatin1Char('/') + origId + ProfileSuffix;
    return profileDir();
}

ConnProfile::References ConnProfile::references() const
{
    return References{caPath, vpnConfig.getCaPath(), auth.getPath(), configFiles, confPath};
}

void ConnProfile::restoreReferences(const References& refs)
{
    caPath = refs.caPath;
    vpnConfig.setCaPath(refs.vpnCaPath);
    auth.setPath(refs.authPath);
    configFiles = refs.configFiles;
    confPath = refs.confPath;
}

int ConnProfile::validate()
{
    if (manualAuth && rememberAuth && auth.validate() != 0) {
        LOG_ERROR;
        return -1;
    }
    return 0;
}

int ConnProfile::importExternalPath(const QString& path, const QString& dir, QString& newName,
                                    bool& external)
{
    newName = lastComponent(path);
    external = isAbsolute(path);
    if (path.isEmpty()) {
        LOG_ERROR;
        return -1;
    }
    // A name that would lead out of the profile directory is no reference.
    if (!isBareName(newName) || (!external && !isBareName(path))) {
        LOG_ERROR;
        return -1;
    }
    const QString origin = originDir();
    if (!external && origin.isEmpty()) {
        // A bare name, but the profile has no directory yet to take it from.
        LOG_ERROR;
        return 0;
    }
    const QString source = external ? path : origin + QLatin1Char('/') + path;
    if (!QFileInfo(source).isFile()) {
        // A file chosen by the user must be there; a file of the profile's
        // own directory that vanished outside the program is only reported,
        // so the profile stays savable.
        LOG_ERROR;
        return external ? -1 : 0;
    }
    const QString target = dir + QLatin1Char('/') + newName;
    LOG_DEBUG << "[Profiles] Import old: " << source << " new: " << target;
    if (entryExists(target)) {
        // Another reference already brought this name in: fine when it is
        // the same file, a loss when it is not.
        if (sameContent(source, target))
            return 0;
        LOG_ERROR;
        return -1;
    }
    if (copyToNew(source, target) != 0) {
        LOG_ERROR;
        return -1;
    }
    return 0;
}

int ConnProfile::importExternalFiles(const QString& dir)
{
    LOG_DEBUG << "[Profiles] Import to profile: " << dir;
    const Type t = type;
    const ConfigMode mode = configMode;
    const libvelcor::Auth::Type authType = auth.getType();
    const bool manual = manualAuth;
    QString newName;
    bool external = false;

    if (t == LsType && caVerify) {
        if (importExternalPath(caPath, dir, newName, external) != 0) {
            LOG_ERROR;
            return -1;
        }
        if (external && setCaPath(newName) != 0) {
            LOG_ERROR;
            return -1;
        }
    }
    if (t == VpnType && authType != libvelcor::Auth::CertificateType && mode != FilesConfigMode) {
        if (importExternalPath(vpnConfig.getCaPath(), dir, newName, external) != 0) {
            LOG_ERROR;
            return -1;
        }
        if (external && vpnConfig.setCaPath(newName) != 0) {
            LOG_ERROR;
            return -1;
        }
    }
    if (authType == libvelcor::Auth::CertificateType &&
        (manual || t != VpnType || mode != FilesConfigMode)) {
        if (importExternalPath(auth.getPath(), dir, newName, external) != 0) {
            LOG_ERROR;
            return -1;
        }
        if (external && auth.setPath(newName) != 0) {
            LOG_ERROR;
            return -1;
        }
    }
    if (mode == FilesConfigMode) {
        if (configFiles.isEmpty()) {
            LOG_ERROR;
            return -1;
        }
        QStringList names;
        bool anyExternal = false;
        const QStringList entries = configFiles;
        for (const QString& entry : entries) {
            if (importExternalPath(entry, dir, newName, external) != 0) {
                LOG_ERROR;
                return -1;
            }
            names << newName;
            anyExternal = anyExternal || external;
        }
        if (anyExternal && setConfigFiles(names, dir, false) != 0) {
            LOG_ERROR;
            return -1;
        }
    }
    return 0;
}

int ConnProfile::copyOrigFiles(const QString& fromDir, const QString& toDir)
{
    QStringList names;
    if (type == LsType && caVerify)
        names << getCaPath();
    if (type == VpnType && auth.getType() != libvelcor::Auth::CertificateType &&
        configMode != FilesConfigMode)
        names << vpnConfig.getCaPath();
    if (auth.getType() == libvelcor::Auth::CertificateType &&
        (manualAuth || type != VpnType || configMode != FilesConfigMode))
        names << auth.getPath();
    if (configMode == FilesConfigMode)
        names << configFiles;

    for (const QString& name : qAsConst(names)) {
        if (!isBareName(name)) {
            LOG_ERROR;
            return -1;
        }
        const QString target = toDir + QLatin1Char('/') + name;
        // What the import brought in was chosen for this save: never
        // replaced by the older file of the same name.
        if (entryExists(target))
            continue;
        if (copyFile(fromDir + QLatin1Char('/') + name, target) != 0) {
            LOG_ERROR;
            return -1;
        }
    }
    return 0;
}

int ConnProfile::copyFile(const QString& from, const QString& to)
{
    LOG_TRACE << "[Profiles] Copying: " << from << " -> " << to;
    if (!QFile::exists(from))
        return 0;
    if (entryExists(to) && !QFile::remove(to)) {
        LOG_ERROR;
        return -1;
    }
    if (copyToNew(from, to) != 0) {
        LOG_ERROR;
        return -1;
    }
    return 0;
}

int ConnProfile::buildDocument(const QString& tmpDir, QVariantMap& doc)
{
    doc.insert(QStringLiteral("type"), text(typeToString(type)));
    doc.insert(QStringLiteral("owner"), text(ownerToString(owner)));
    doc.insert(QStringLiteral("mode"), text(configModeToString(configMode)));
    doc.insert(QStringLiteral("conn_mode"), text(connModeToString(connMode)));
    if (configMode == FilesConfigMode) {
        QVariantList files;
        for (const QString& f : configFiles)
            files << text(f);
        doc.insert(QStringLiteral("files"), files);
    }
    if (type == LsType) {
        const QUrl url(auth.getUrl(), QUrl::TolerantMode);
        if (url.host().isEmpty())
            return -1;
        doc.insert(QStringLiteral("url"), text(auth.getUrl()));
        QVariantMap ca;
        ca.insert(QStringLiteral("verify"), caVerify);
        ca.insert(QStringLiteral("path"), text(getCaPath()));
        doc.insert(QStringLiteral("ca"), ca);
    }
    if (type == VpnType && configMode == ManualConfigMode) {
        QVariantMap vpn;
        vpn.insert(QStringLiteral("conf"), text(lastComponent(confPath)));
        vpn.insert(QStringLiteral("pull_routes"), pullRoutes);
        doc.insert(QStringLiteral("vpn"), vpn);
    }
    if (!caData.isEmpty()) {
        const QString name = getCaPath();
        const QString target = tmpDir + QLatin1Char('/') + name;
        if (!isBareName(name) || libvelcor::utils::bytes2File(caData.toUtf8(), target) != 0)
            return -1;
    }
    if (!p12Data.isEmpty()) {
        const QString name = auth.getPath();
        const QString target = tmpDir + QLatin1Char('/') + name;
        if (!isBareName(name) || libvelcor::utils::bytes2File(p12Data, target) != 0 ||
            makePrivateFile(target) != 0)
            return -1;
    }

    QVariantMap a;
    a.insert(QStringLiteral("manual"), manualAuth);
    a.insert(QStringLiteral("remember"), rememberAuth);
    if (manualAuth) {
        switch (auth.getType()) {
        case libvelcor::Auth::UserPassType:
            if (auth.getUser().isEmpty())
                return -1;
            a.insert(QStringLiteral("type"), QStringLiteral("user-pass"));
            a.insert(QStringLiteral("user"), text(auth.getUser()));
            break;
        case libvelcor::Auth::CertificateType:
            if (auth.getPath().isEmpty())
                return -1;
            a.insert(QStringLiteral("type"), QStringLiteral("pkcs12"));
            a.insert(QStringLiteral("path"), text(auth.getPath()));
            break;
        default:
            return -1;
        }
        if (rememberAuth) {
            if (auth.getPass().isEmpty())
                return -1;
            a.insert(QStringLiteral("pass"), text(crypt->encryptToString(auth.getPass())));
        }
    }
    doc.insert(QStringLiteral("auth"), a);
    return 0;
}

int ConnProfile::save(bool newIdIfExists)
{
    LOG_TRACE;
    LOG_DEBUG << "[Profiles] Saving profile: " << id;
    // The editor can set any id: only a well-formed one names a directory.
    if (checkId(id) != 0 || basePath.isEmpty()) {
        LOG_ERROR;
        return -1;
    }
    const QString dir = profileDir();
    const QString tmp = dir + TmpSuffix;
    const QString old = dir + OldSuffix;

    if (newIdIfExists && entryExists(dir)) {
        const QString newId = nextId(id);
        LOG_DEBUG << "[Profiles] Profile exists - renaming to: " << newId;
        if (setId(newId) != 0) {
            LOG_ERROR;
            return -1;
        }
        return save(true);
    }

    LOG_DEBUG << "[Profiles] configPathTmp: " << tmp + QLatin1Char('/') + ConfigJson;
    // Leftovers of an interrupted save would mix into the new content.
    if (recoverProfileDir(dir) != 0 || entryExists(tmp) || entryExists(old)) {
        LOG_ERROR;
        return -1;
    }

    const References refs = references();
    bool moved = false;
    QVariantMap doc;
    QString json;
    bool ok = false;

    if (makePrivateDir(tmp) != 0) {
        LOG_ERROR;
        goto failure;
    }
    if (importExternalFiles(tmp) != 0) {
        LOG_ERROR;
        goto failure;
    }
    if (buildDocument(tmp, doc) != 0) {
        LOG_ERROR;
        goto failure;
    }
    json = libvelcor::json::serialize(doc, ok);
    if (!ok) {
        LOG_ERROR;
        goto failure;
    }

    if (entryExists(dir)) {
        LOG_DEBUG << "[Profiles] Updating existing profile";
        if (moveEntry(dir, old) != 0) {
            LOG_ERROR;
            goto failure;
        }
        moved = true;
    } else {
        LOG_DEBUG << "[Profiles] New profile";
        const QString origin = originDir();
        if (!origin.isEmpty() && origin != dir && entryExists(origin)) {
            LOG_DEBUG << "[Profiles] Rename detected - copying files from: " << origin;
            if (copyOrigFiles(origin, tmp) != 0) {
                LOG_ERROR;
                goto failure;
            }
        }
    }

    if (libvelcor::utils::bytes2File(json.toUtf8(), tmp + QLatin1Char('/') + ConfigJson) != 0 ||
        makePrivateFile(tmp + QLatin1Char('/') + ConfigJson) != 0) {
        LOG_ERROR;
        goto failure;
    }
    if (type == VpnType && configMode == ManualConfigMode) {
        const QString name = lastComponent(confPath);
        if (!isBareName(name) || vpnConfig.toFile(tmp + QLatin1Char('/') + name) != 0) {
            LOG_ERROR;
            goto failure;
        }
    }
    if (moveEntry(tmp, dir) != 0) {
        LOG_ERROR;
        goto failure;
    }
    if (moved) {
        if (inSetSave)
            backupMade = true; // the store removes it once the whole set is written
        else
            libvelcor::utils::rmRec(old);
    }
    return 0;

failure:
    if (moved)
        moveEntry(old, dir);
    libvelcor::utils::rmRec(tmp);
    // The user's choice of files survives a failed save.
    restoreReferences(refs);
    return -1;
}

// ---------------------------------------------------------------------------
// The store

ConnProfiles::ConnProfiles()
{
    LOG_TRACE;
    crypt = new SimpleCrypt(ScramblerKey);
    profilesPath = getAppDataDir() + QStringLiteral("/profiles");
    if (!entryExists(profilesPath))
        makePrivateDir(profilesPath);
}

ConnProfiles::~ConnProfiles()
{
    LOG_TRACE;
    clear();
    delete crypt;
    crypt = nullptr;
}

int ConnProfiles::clear()
{
    LOG_TRACE;
    qDeleteAll(profiles);
    profiles.clear();
    qDeleteAll(snapshots);
    snapshots.clear();
    newCounter = 0;
    return 0;
}

int ConnProfiles::size() const
{
    return profiles.size();
}

QStringList ConnProfiles::ids() const
{
    return profiles.keys();
}

ConnProfile* ConnProfiles::get(const QString& id) const
{
    LOG_DEBUG << "[Profiles] map: " << profiles;
    LOG_DEBUG << "[Profiles] Retrieving id: " << id;
    if (ConnProfile::checkId(id) != 0) {
        LOG_ERROR;
        return nullptr;
    }
    return profiles.value(id, nullptr);
}

int ConnProfiles::addProfile(ConnProfile* p)
{
    if (!p) {
        LOG_ERROR;
        return -1;
    }
    const QString id = p->getId();
    if (id.isEmpty() || profiles.contains(id)) {
        LOG_ERROR;
        return -1;
    }
    ConnProfile* copy = new ConnProfile(*p);
    profiles.insert(id, p);
    delete snapshots.value(id, nullptr);
    snapshots.insert(id, copy);
    return 0;
}

QString ConnProfiles::dirOf(const QString& id) const
{
    return profilesPath + QLatin1Char('/') + id + ProfileSuffix;
}

bool ConnProfiles::isForeign(const QString& id) const
{
    // A directory under that name that this store never read: writing the
    // profile there would replace, and later delete, someone else's data.
    return !known.value(id).contains(id + ProfileSuffix) && entryExists(dirOf(id));
}

void ConnProfiles::dropSnapshot(const QString& id)
{
    delete snapshots.take(id);
}

// ------------------------------------------------------------------ loading

void ConnProfiles::recover()
{
    // A cycle of renames cut short goes back first; while it cannot, the
    // backups it needs are no leftovers.
    const bool cycleSettled = rollbackCycle() == 0;
    const QDir root(profilesPath);
    const QStringList leftovers =
        root.entryList(QStringList{QStringLiteral("*.profile.old"), QStringLiteral("*.profile.tmp"),
                                   QStringLiteral("*.profile.del")},
                       QDir::AllEntries | QDir::System | QDir::CaseSensitive, QDir::Name);
    for (const QString& name : leftovers) {
        const QString path = profilesPath + QLatin1Char('/') + name;
        if (name.endsWith(DelSuffix)) {
            // A deletion that had already taken the profile out of sight.
            if (libvelcor::utils::rmRec(path) != 0)
                LOG_ERROR;
        } else if (!cycleSettled && name.endsWith(OldSuffix)) {
            LOG_ERROR;
        } else if (ConnProfile::checkId(baseNameOf(name)) == 0 &&
                   name.count(QLatin1Char('.')) == 2 &&
                   recoverProfileDir(path.left(path.size() - OldSuffix.size())) != 0) {
            // Only what a save of ours leaves: <id>.profile.old or .tmp.
            LOG_ERROR;
        }
    }
}

int ConnProfiles::load()
{
    LOG_DEBUG << "[Profiles] path: " << profilesPath;
    recover();
    const QStringList names = listProfileDirs(profilesPath);
    clear();
    known.clear();
    departed.clear();
    for (const QString& name : names) {
        const QString dir = profilesPath + QLatin1Char('/') + name;
        const QString id = baseNameOf(name);
        const QString file = dir + QLatin1Char('/') + ConfigJson;
        // A directory whose name yields no valid id is someone else's.
        bool ok = ConnProfile::checkId(id) == 0;
        if (ok) {
            const QVariant json = libvelcor::json::parseFromFile(file, ok);
            ok = ok && parseProfile(id, json.toMap()) == 0;
        }
        if (!ok) {
            LOG_DEBUG << "[Profiles] Failed parsing profile configuration: " << file;
            continue;
        }
        known[id] << name;
    }
    return 0;
}

int ConnProfiles::parseProfile(const QString& id, const QMap<QString, QVariant>& json)
{
    LOG_DEBUG << "[Profiles] Parsing profile: " << id;
    if (profiles.contains(id)) {
        LOG_ERROR;
        return -1;
    }
    ConnProfile* p = new ConnProfile();
    if (p->setBasePath(profilesPath) != 0 || p->setId(id) != 0 ||
        parseProfileCommon(p, json) != 0) {
        LOG_ERROR;
        delete p;
        return -1;
    }
    const int typed =
        p->getType() == ConnProfile::VpnType ? parseProfileVpn(p, json) : parseProfileLs(p, json);
    if (typed != 0 || p->validate() != 0) {
        LOG_ERROR;
        delete p;
        return -1;
    }
    p->storedId = id;
    if (addProfile(p) != 0) {
        LOG_ERROR;
        delete p;
        return -1;
    }
    return 0;
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
    if (p->loadVpnConfig(dirOf(p->getId()) + QLatin1Char('/') + conf, true) != 0) {
        LOG_ERROR;
        return -1;
    }
    if (present(vpn, QStringLiteral("pull_routes")))
        p->setPullRoutes(vpn.value(QStringLiteral("pull_routes")).toBool());
    return 0;
}

// ------------------------------------------------------------------ editing

ConnProfile* ConnProfiles::add(QString id)
{
    ConnProfile* p = new ConnProfile();
    if (p->setBasePath(profilesPath) != 0) {
        LOG_ERROR;
        delete p;
        return nullptr;
    }
    if (id.isEmpty()) {
        int n = newCounter == 0 ? 1 : newCounter;
        for (;;) {
            id = QStringLiteral("_") + QObject::tr("new profile %1").arg(n);
            if (!profiles.contains(id) && !isForeign(id))
                break;
            ++n;
        }
        LOG_DEBUG << "[Profiles] Accepting profile id: " << id;
        newCounter = n;
    } else if (ConnProfile::checkId(id) != 0 || isForeign(id)) {
        LOG_ERROR;
        delete p;
        return nullptr;
    }
    p->setId(id);
    if (addProfile(p) != 0) {
        LOG_ERROR;
        delete p;
        return nullptr;
    }
    return p;
}

int ConnProfiles::remove(const QString& id)
{
    LOG_DEBUG << "[Profiles] Removing id: " << id;
    ConnProfile* p = profiles.take(id);
    if (!p) {
        LOG_ERROR;
        return -1;
    }
    delete p;
    departed.insert(id);
    return 0;
}

int ConnProfiles::rename(const QString& oldId, const QString& newId)
{
    LOG_DEBUG << "[Profiles] Renaming " << oldId << " -> " << newId;
    if (ConnProfile::checkId(newId) != 0 || profiles.contains(newId) || isForeign(newId)) {
        LOG_ERROR;
        return -1;
    }
    ConnProfile* p = profiles.take(oldId);
    if (!p) {
        LOG_ERROR;
        return -1;
    }
    p->setId(newId);
    if (p->getOrigId().isEmpty())
        p->setOrigId(oldId);
    profiles.insert(newId, p);
    departed.insert(oldId);
    return 0;
}

int ConnProfiles::rollback()
{
    LOG_TRACE;
    for (auto it = profiles.cbegin(); it != profiles.cend(); ++it) {
        if (!snapshots.value(it.key(), nullptr))
            departed.insert(it.key());
    }
    qDeleteAll(profiles);
    profiles.clear();
    for (auto it = snapshots.cbegin(); it != snapshots.cend(); ++it) {
        if (!it.value())
            continue;
        ConnProfile* copy = new ConnProfile(*it.value());
        copy->setOrigId(QString());
        profiles.insert(it.key(), copy);
    }
    return 0;
}

// ------------------------------------------------------------------- saving

QVector<ConnProfiles::SaveItem> ConnProfiles::saveOrder() const
{
    // One walk over both maps, both in id order, pairs each record with its
    // snapshot: no lookup per profile.
    QVector<SaveItem> order;
    order.reserve(profiles.size());
    QMap<QString, QString> readerOf;
    auto snap = snapshots.cbegin();
    for (auto it = profiles.cbegin(); it != profiles.cend(); ++it) {
        while (snap != snapshots.cend() && snap.key() < it.key())
            ++snap;
        const bool hasSnapshot = snap != snapshots.cend() && snap.key() == it.key();
        order.append(SaveItem{it.key(), it.value(), hasSnapshot ? snap.value() : nullptr});
        const QString& stored = it.value()->storedId;
        if (!stored.isEmpty() && stored != it.key())
            readerOf.insert(stored, it.key());
    }
    if (readerOf.isEmpty())
        return order;

    // A renamed profile whose files still lie under an id that another
    // profile now takes goes before that profile: it reads its old directory
    // before the other one moves it aside. Only a cycle of renames still
    // needs the backup kept during the save.
    QHash<QString, int> indexOf;
    for (int i = 0; i < order.size(); ++i)
        indexOf.insert(order.at(i).id, i);
    QVector<SaveItem> sorted;
    sorted.reserve(order.size());
    QSet<QString> placed;
    QSet<QString> visiting;
    // The profiles being placed, each one's files read by the next.
    QVector<QString> path;
    std::function<void(const QString&)> place = [&](const QString& key) {
        if (placed.contains(key) || visiting.contains(key))
            return;
        visiting.insert(key);
        path.append(key);
        const QString reader = readerOf.value(key);
        int cycleLength = 0;
        if (!reader.isEmpty() && visiting.contains(reader)) {
            // A cycle: key goes first, and the reader it closes on last.
            cycleLength = path.size() - path.indexOf(reader);
        } else if (!reader.isEmpty()) {
            place(reader);
        }
        visiting.remove(key);
        path.removeLast();
        placed.insert(key);
        SaveItem item = order.at(indexOf.value(key));
        item.cycleLength = cycleLength;
        sorted.append(item);
    };
    for (const SaveItem& item : qAsConst(order))
        place(item.id);
    return sorted;
}

int ConnProfiles::save(QString& failedId)
{
    LOG_TRACE;
    aside.clear();
    cycle.clear();
    // Whatever an earlier failure could not put back of a cycle of renames
    // goes back before anything else is written.
    if (rollbackCycle() != 0) {
        LOG_ERROR;
        return -1;
    }
    int result = 0;
    // Records taken straight from the map: fetching each through get, which
    // logs the whole set, would make a save cost the square of the set.
    const QVector<SaveItem> order = saveOrder();
    int cycleEnd = -1;
    for (int i = 0; i < order.size(); ++i) {
        const SaveItem& item = order.at(i);
        const QString& id = item.id;
        ConnProfile* p = item.profile;
        if (p && p->getId() != id) {
            // An id set on the record behind the store's back.
            LOG_ERROR;
            p = nullptr;
        }
        if (item.cycleLength > 0) {
            if (beginCycle(order, i) != 0) {
                LOG_ERROR;
                failedId = id;
                result = -1;
                break;
            }
            cycleEnd = i + item.cycleLength - 1;
        }
        const QString previousOrigId = p ? p->getOrigId() : QString();
        if (updateProfile(p) != 0 || saveProfile(p, item.snapshot) != 0 ||
            updateProfilePost(p) != 0) {
            failedId = id;
            result = -1;
            break;
        }
        settleProfile(p, previousOrigId);
        if (i == cycleEnd && endCycle() != 0) {
            LOG_ERROR;
            failedId = id;
            result = -1;
            break;
        }
    }
    if (!cycle.isEmpty())
        undoCycle();
    if (result == 0 && saveDeletions() != 0) {
        LOG_ERROR;
        result = -1;
    }
    finishSave(result == 0);
    return result;
}

int ConnProfiles::beginCycle(const QVector<SaveItem>& order, int first)
{
    LOG_DEBUG << "[Profiles] Cycle of renames from: " << order.at(first).id;
    const int end = first + order.at(first).cycleLength;
    QStringList ids;
    for (int i = first; i < end; ++i) {
        ids << order.at(i).id;
        // A backup left by an interrupted save would pass for this one's.
        if (recoverProfileDir(dirOf(ids.last())) != 0) {
            LOG_ERROR;
            return -1;
        }
    }

    // Written aside and renamed into place: a journal is whole or absent.
    const QString journal = profilesPath + QLatin1Char('/') + CycleJournal;
    const QString partial = journal + TmpSuffix;
    if (entryExists(partial) && libvelcor::utils::rmRec(partial) != 0) {
        LOG_ERROR;
        return -1;
    }
    QFile file(partial);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        LOG_ERROR;
        return -1;
    }
    const QByteArray text = ids.join(QLatin1Char('\n')).toUtf8() + '\n';
    bool ok = file.write(text) == text.size();
    ok = file.flush() && ok;
    file.close();
    if (!ok || file.error() != QFileDevice::NoError || moveEntry(partial, journal) != 0) {
        LOG_ERROR;
        QFile::remove(partial);
        return -1;
    }

    for (int i = first; i < end; ++i) {
        const SaveItem& item = order.at(i);
        ConnProfile* p = item.profile && item.profile->getId() == item.id ? item.profile : nullptr;
        const ConnProfile* snapshot = snapshots.value(item.id, nullptr);
        cycle.append(CycleMember{
            item.id, p, p ? new ConnProfile(*p) : nullptr, p ? p->getOrigId() : QString(),
            snapshot ? new ConnProfile(*snapshot) : nullptr, !entryExists(dirOf(item.id))});
    }
    return 0;
}

int ConnProfiles::endCycle()
{
    // The commit: without the journal the backups are plain leftovers.
    if (!QFile::remove(profilesPath + QLatin1Char('/') + CycleJournal)) {
        LOG_ERROR;
        return -1;
    }
    for (const CycleMember& m : qAsConst(cycle)) {
        delete m.before;
        delete m.snapshot;
    }
    cycle.clear();
    return 0;
}

void ConnProfiles::undoCycle()
{
    LOG_DEBUG << "[Profiles] Undoing the cycle of renames from: " << cycle.first().id;
    // On disk: what the members wrote goes, their backups come back.
    for (const CycleMember& m : qAsConst(cycle)) {
        const QString dir = dirOf(m.id);
        if (m.createdDir && entryExists(dir) && libvelcor::utils::rmRec(dir) != 0)
            LOG_ERROR;
        aside.remove(m.id);
    }
    if (rollbackCycle() != 0) {
        // The journal stays: load, or the next save, finishes the job.
        LOG_ERROR;
    }
    // In memory: each member as it was, with the snapshot of what is on disk.
    for (const CycleMember& m : qAsConst(cycle)) {
        if (ConnProfile* p = m.profile) {
            p->restoreReferences(m.before->references());
            p->setOrigId(m.origId);
            p->storedId = m.before->storedId;
        }
        delete m.before;
        dropSnapshot(m.id);
        if (m.snapshot)
            snapshots.insert(m.id, m.snapshot);
    }
    cycle.clear();
}

int ConnProfiles::rollbackCycle()
{
    const QString journal = profilesPath + QLatin1Char('/') + CycleJournal;
    // A journal never put in place: nothing was written under it.
    const QString partial = journal + TmpSuffix;
    if (entryExists(partial) && libvelcor::utils::rmRec(partial) != 0) {
        LOG_ERROR;
        return -1;
    }
    if (!entryExists(journal))
        return 0;
    QFile file(journal);
    if (!file.open(QIODevice::ReadOnly)) {
        LOG_ERROR;
        return -1;
    }
    const QStringList ids =
        QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    file.close();
    int result = 0;
    for (const QString& id : ids) {
        if (ConnProfile::checkId(id) != 0) {
            LOG_ERROR;
            continue;
        }
        // Only a member written since the journal was made has a backup.
        const QString dir = dirOf(id);
        const QString old = dir + OldSuffix;
        if (!entryExists(old))
            continue;
        LOG_DEBUG << "[Profiles] Restoring: " << dir;
        if ((entryExists(dir) && libvelcor::utils::rmRec(dir) != 0) || moveEntry(old, dir) != 0) {
            LOG_ERROR;
            result = -1;
        }
    }
    if (result == 0 && !QFile::remove(journal)) {
        LOG_ERROR;
        result = -1;
    }
    return result;
}

int ConnProfiles::updateProfile(ConnProfile* p)
{
    if (!p) {
        LOG_ERROR;
        return -1;
    }
    if (p->getType() != ConnProfile::VpnType || p->getConfigMode() != ConnProfile::ManualConfigMode)
        return 0;
    // Usually right already; testing costs less than building the path.
    static const QString tail = ProfileSuffix + QLatin1Char('/') + OpenVpnConf;
    const QString conf = p->getConfPath();
    const QString& base = p->getBasePath();
    const QString& id = p->getId();
    if (conf.size() == base.size() + 1 + id.size() + tail.size() && conf.startsWith(base) &&
        conf.at(base.size()) == QLatin1Char('/') && conf.midRef(base.size() + 1, id.size()) == id &&
        conf.endsWith(tail))
        return 0;
    if (p->setConfPath(OpenVpnConf, false) != 0) {
        LOG_ERROR;
        return -1;
    }
    return 0;
}

int ConnProfiles::saveProfile(ConnProfile* p, const ConnProfile* snapshot)
{
    lastWritten = false;
    if (!p) {
        LOG_ERROR;
        return -1;
    }
    const QString& id = p->getId();
    // A profile that is not on disk under its id is written whatever its
    // snapshot says: renamed, new, or taking the id of a removed profile.
    const bool moved = (!p->getOrigId().isEmpty() && p->getOrigId() != id) || p->storedId != id;
    if (snapshot && !moved && *snapshot == *p) {
        LOG_DEBUG << "[Profiles] Unchanged profile: " << id;
        return 0;
    }

    const QString& stored = p->storedId;
    p->inSetSave = true;
    p->setOrigin = stored.isEmpty() ? QString() : aside.value(stored, dirOf(stored));
    p->backupMade = false;
    const int result = p->save(false);
    if (result == 0 && p->backupMade)
        aside.insert(id, dirOf(id) + OldSuffix);
    p->inSetSave = false;
    p->setOrigin.clear();
    p->backupMade = false;
    lastWritten = result == 0;
    return result;
}

int ConnProfiles::updateProfilePost(ConnProfile* p)
{
    if (!p) {
        LOG_ERROR;
        return -1;
    }
    // Only a written profile has a new directory to resolve its OpenVPN
    // file in; an unchanged one is not touched, so a save costs what changed.
    if (lastWritten && p->getType() == ConnProfile::VpnType &&
        p->getConfigMode() == ConnProfile::FilesConfigMode &&
        p->setConfigFiles(p->getConfigFiles(), QString(), true) != 0) {
        LOG_ERROR;
        return -1;
    }
    p->setOrigId(QString());
    return 0;
}

void ConnProfiles::settleProfile(ConnProfile* p, const QString& previousOrigId)
{
    const QString id = p->getId();
    const QString previousStored = p->storedId;
    p->storedId = id;
    if (lastWritten) {
        QStringList& dirs = known[id];
        if (!dirs.contains(id + ProfileSuffix))
            dirs << id + ProfileSuffix;
        // The snapshot follows what is now on disk, so a later rollback
        // cannot bring back a state that no longer exists there.
        delete snapshots.value(id, nullptr);
        snapshots.insert(id, new ConnProfile(*p));
    }
    // The ids this profile left behind are no profile any more.
    for (const QString& gone : {previousStored, previousOrigId}) {
        if (!gone.isEmpty() && gone != id && !profiles.contains(gone))
            dropSnapshot(gone);
    }
}

int ConnProfiles::saveDeletions()
{
    LOG_TRACE;
    // Only the directories this store read or wrote for an id that left the
    // working set: never anyone else's, and no listing of the whole root.
    QStringList ids;
    for (const QString& id : qAsConst(departed)) {
        if (!profiles.contains(id) && known.contains(id))
            ids << id;
    }
    ids.sort();
    for (const QString& id : qAsConst(ids)) {
        QStringList names = known.value(id);
        names.sort();
        for (const QString& name : qAsConst(names)) {
            const QString path = profilesPath + QLatin1Char('/') + name;
            const QString trash = path + DelSuffix;
            if (entryExists(path)) {
                LOG_DEBUG << "[Profiles] Deleting: " << path;
                // One rename takes the profile away whole; what remains to
                // remove is out of sight, and load clears it should this stop.
                if ((entryExists(trash) && libvelcor::utils::rmRec(trash) != 0) ||
                    moveEntry(path, trash) != 0) {
                    LOG_ERROR;
                    return -1;
                }
                if (libvelcor::utils::rmRec(trash) != 0)
                    LOG_ERROR;
            }
            known[id].removeOne(name);
        }
        known.remove(id);
        dropSnapshot(id);
    }
    return 0;
}

void ConnProfiles::finishSave(bool succeeded)
{
    for (auto it = aside.cbegin(); it != aside.cend(); ++it) {
        libvelcor::utils::rmRec(it.value());
        if (succeeded)
            continue;
        // A renamed profile not yet written took its files from there.
        for (ConnProfile* p : qAsConst(profiles)) {
            if (p->storedId == it.key() && p->getId() != it.key())
                p->storedId.clear();
        }
    }
    aside.clear();
    if (!succeeded)
        return;
    // Every profile has been written or found unchanged: the snapshots are
    // the working set, nothing more.
    for (const QString& id : qAsConst(departed)) {
        if (!profiles.contains(id))
            dropSnapshot(id);
    }
    departed.clear();
}

} // namespace ORVO
