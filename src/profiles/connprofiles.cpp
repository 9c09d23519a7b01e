// The profile store: the working set and its snapshots, loading (with the
// repair of what an interrupted save left), and the edits of a pass: add,
// rename, remove and rollback. The save of the set is in profilesetsave.cpp,
// the reading of one config.json in profilereader.cpp.

#include "profiles/connprofiles.h"

#include <QDebug>
#include <QDir>
#include <QObject>
#include <QTemporaryDir>

#include <libvelcor/json.h>
#include <libvelcor/utils.h>

#include "common/common.h"
#include "common/log.h"
#include "common/simplecrypt.h"
#include "profiles/profilefs.h"
#include "profiles/profilelayout.h"
#include "profiles/profilesetsave.h"

namespace ORVO {

using namespace profilefs;
using namespace profilelayout;

namespace {

QStringList listProfileDirs(const QString& root)
{
    // Case-sensitive: "Work.PROFILE" is not a profile directory.
    QStringList names = QDir(root).entryList(QStringList{QStringLiteral("*.profile")},
                                             QDir::Dirs | QDir::CaseSensitive);
    sortForLoading(names);
    return names;
}

} // namespace

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
    setText.clear();
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
    LOG_DEBUG << "[Profiles] map: " << workingSetText().constData();
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
    setText.clear();
    delete snapshots.value(id, nullptr);
    snapshots.insert(id, copy);
    return 0;
}

const QByteArray& ConnProfiles::workingSetText() const
{
    // Built once per state of the working set: a save fetches every profile
    // in turn, and formatting the whole set for each would cost the square
    // of its size.
    if (setText.isEmpty()) {
        QString text;
        QDebug(&text).nospace() << profiles;
        setText = text.toUtf8();
    }
    return setText;
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
    QString reason;
    const bool cycleSettled = renamecycle::rollBack(profilesPath, reason) == 0;
    if (!cycleSettled)
        LOG_ERROR << "[Profiles] " << reason;
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
        } else if (ConnProfile::checkId(idOfDir(name)) == 0 && name.count(QLatin1Char('.')) == 2 &&
                   recoverProfileDir(path.left(path.size() - OldSuffix.size())) != 0) {
            // Only what a save of ours leaves: <id>.profile.old or .tmp.
            LOG_ERROR;
        }
    }
}

int ConnProfiles::load()
{
    LOG_DEBUG << "[Profiles] path: " << profilesPath;
    ioError.clear();
    // A folder that cannot be read is no empty set: the profiles held stay.
    if (checkListable(profilesPath, ioError) != 0) {
        LOG_ERROR << "[Profiles] Cannot read the profiles: " << ioError;
        return -1;
    }
    recover();
    const QStringList names = listProfileDirs(profilesPath);
    clear();
    known.clear();
    departed.clear();
    for (const QString& name : names) {
        const QString dir = profilesPath + QLatin1Char('/') + name;
        const QString id = idOfDir(name);
        const QString file = dir + QLatin1Char('/') + ConfigJson;
        // A directory whose name yields no valid id is someone else's.
        bool ok = ConnProfile::checkId(id) == 0;
        if (ok) {
            // Only a regular file is read: a FIFO or a device put in its
            // place would hold load for ever.
            QByteArray bytes;
            ok = readRegularFile(file, libvelcor::json::MaxFileSize, bytes) == 0;
            if (!ok && isNonRegular(file))
                LOG_ERROR << "[Profiles] Not a regular file: " << file;
            if (ok) {
                const QVariant json = libvelcor::json::parse(bytes, ok);
                ok = ok && parseProfile(id, json.toMap()) == 0;
            }
        }
        if (!ok) {
            LOG_DEBUG << "[Profiles] Failed parsing profile configuration: " << file;
            continue;
        }
        known[id] << name;
    }
    return 0;
}

int ConnProfiles::comebacks(const QString& id, bool ownGone, QStringList& out)
{
    const QStringList names = QDir(profilesPath)
                                  .entryList(QStringList{id + QStringLiteral(".*") + ProfileSuffix},
                                             QDir::Dirs | QDir::CaseSensitive);
    if (names.isEmpty())
        return 0;
    // Relative files are looked for in <id>.profile: where that goes too,
    // they are looked for in an empty directory.
    std::unique_ptr<QTemporaryDir> nowhere;
    if (ownGone) {
        nowhere.reset(new QTemporaryDir);
        if (!nowhere->isValid()) {
            ioError = failureText(QDir::tempPath(), nowhere->errorString());
            return -1;
        }
    }
    const QString base = ownGone ? nowhere->path() : profilesPath;
    for (const QString& name : names) {
        QByteArray bytes;
        bool ok =
            readRegularFile(profilesPath + QLatin1Char('/') + name + QLatin1Char('/') + ConfigJson,
                            libvelcor::json::MaxFileSize, bytes) == 0;
        const QVariant json = ok ? libvelcor::json::parse(bytes, ok) : QVariant();
        if (ok && readProfile(id, json.toMap(), base))
            out << name;
    }
    return 0;
}

bool ConnProfiles::isSaved(const QString& id) const
{
    return profiles.contains(id) && known.value(id).contains(id + ProfileSuffix);
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
    // The record's defaults leave caVerify off; a new profile follows its
    // type's rules from the start, as it does when it is read back.
    if (p->setType(ConnProfile::VpnType) != 0 || addProfile(p) != 0) {
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
    setText.clear();
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
    setText.clear();
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
    setText.clear();
    for (auto it = snapshots.cbegin(); it != snapshots.cend(); ++it) {
        if (!it.value())
            continue;
        ConnProfile* copy = new ConnProfile(*it.value());
        copy->setOrigId(QString());
        profiles.insert(it.key(), copy);
    }
    return 0;
}

} // namespace ORVO
