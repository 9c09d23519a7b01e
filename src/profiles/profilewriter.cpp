// The record's save: one profile directory written in one transaction, with
// the import of the files it references and the carry of a renamed
// profile's files.
//
// A profile directory is never written in place: the new content is built
// in <id>.profile.tmp, the old directory goes to <id>.profile.old, the new
// one takes its name and the backup is removed. Whatever an interrupted
// process leaves of these, load puts right before it reads anything.

#include "profiles/connprofile.h"

#include <cerrno>
#include <cstring>

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

#include <libvelcor/json.h>
#include <libvelcor/utils.h>

#include "common/log.h"
#include "common/simplecrypt.h"
#include "profiles/profilefs.h"
#include "profiles/profilelayout.h"

namespace ORVO {

using namespace profilefs;
using namespace profilelayout;

namespace {

bool isAbsolute(const QString& path)
{
    return path.startsWith(QLatin1Char('/'));
}

// Empty texts must reach the JSON writer as strings, not as nulls.
QVariant text(const QString& s)
{
    return s.isNull() ? QVariant(QStringLiteral("")) : QVariant(s);
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

// Puts back what a failed save moved; a failure of that joins the reason.
void moveBack(const QString& from, const QString& to, QString& writeError)
{
    bool renamed = false;
    if (moveEntry(from, to, &renamed) == 0 || renamed)
        return;
    const QString text = QStringLiteral("cannot put back ") + failureText(to);
    LOG_ERROR << "[Profiles] " << text;
    writeError += (writeError.isEmpty() ? QString() : QStringLiteral("; ")) + text;
}

} // namespace

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
        // A file of the profile's own directory that vanished outside the
        // program is only reported, so the profile stays savable.
        if (!external) {
            LOG_ERROR;
            return 0;
        }
        // A file chosen by the user must be there: the failure names it,
        // since the user can choose it again; the reason in the system's
        // words, as every other reason of this message.
        const int code = !QFileInfo::exists(source)  ? ENOENT
                         : QFileInfo(source).isDir() ? EISDIR
                                                     : EINVAL;
        writeError = failureText(source, QString::fromLocal8Bit(std::strerror(code)));
        LOG_ERROR << writeError;
        return -1;
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
    if (copyToNew(source, target, writeError) != 0) {
        LOG_ERROR << writeError;
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
        writeError = failureText(to);
        LOG_ERROR << writeError;
        return -1;
    }
    if (copyToNew(from, to, writeError) != 0) {
        LOG_ERROR << writeError;
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
        if (!isBareName(name))
            return -1;
        QString reason;
        if (libvelcor::utils::bytes2File(caData.toUtf8(), target, &reason) != 0) {
            writeError = failureText(target, reason);
            return -1;
        }
    }
    if (!p12Data.isEmpty()) {
        const QString name = auth.getPath();
        const QString target = tmpDir + QLatin1Char('/') + name;
        if (!isBareName(name))
            return -1;
        QString reason;
        if (libvelcor::utils::bytes2File(p12Data, target, &reason) != 0) {
            writeError = failureText(target, reason);
            return -1;
        }
        if (makePrivateFile(target) != 0) {
            writeError = failureText(target);
            return -1;
        }
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

int ConnProfile::writeFile(const QByteArray& bytes, const QString& path)
{
    QString reason;
    if (libvelcor::utils::bytes2File(bytes, path, &reason) != 0) {
        writeError = failureText(path, reason);
        LOG_ERROR << writeError;
        return -1;
    }
    if (makePrivateFile(path) != 0) {
        writeError = failureText(path);
        LOG_ERROR << writeError;
        return -1;
    }
    return 0;
}

int ConnProfile::save(bool newIdIfExists)
{
    LOG_TRACE;
    LOG_DEBUG << "[Profiles] Saving profile: " << id;
    writeError.clear();
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
    bool placed = false;
    QVariantMap doc;
    QString json;
    bool ok = false;

    if (makePrivateDir(tmp) != 0) {
        writeError = failureText(tmp);
        LOG_ERROR << writeError;
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
        // Moved, even when its folder could not be synced: it goes back.
        if (moveEntry(dir, old, &moved) != 0) {
            writeError = failureText(dir);
            LOG_ERROR << writeError;
            goto failure;
        }
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

    if (writeFile(json.toUtf8(), tmp + QLatin1Char('/') + ConfigJson) != 0)
        goto failure;
    if (type == VpnType && configMode == ManualConfigMode) {
        const QString name = lastComponent(confPath);
        if (!isBareName(name)) {
            LOG_ERROR;
            goto failure;
        }
        if (writeFile(vpnConfig.toText(), tmp + QLatin1Char('/') + name) != 0)
            goto failure;
    }
    if (moveEntry(tmp, dir, &placed) != 0) {
        writeError = failureText(dir);
        LOG_ERROR << writeError;
        // In place, but its folder could not be synced: taken back whole.
        if (placed)
            moveBack(dir, tmp, writeError);
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
        moveBack(old, dir, writeError);
    libvelcor::utils::rmRec(tmp);
    // The user's choice of files survives a failed save.
    restoreReferences(refs);
    return -1;
}

} // namespace ORVO
