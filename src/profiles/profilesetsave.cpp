// The save of the profile set: which records are written and in which
// order, what is done to each before and after its write, the deletion of
// removed profiles' directories, and the journal that lets a cycle of
// renames go back whole.

#include "profiles/profilesetsave.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <functional>

#include <unistd.h>

#include <libvelcor/utils.h>

#include "common/log.h"
#include "profiles/connprofiles.h"
#include "profiles/profilefs.h"
#include "profiles/profilelayout.h"

namespace ORVO {

using namespace profilefs;
using namespace profilelayout;

// ------------------------------------------------------------- the journal

namespace renamecycle {

namespace {

// Far more than the ids of any cycle of renames take.
constexpr qint64 MaxJournalSize = 1024 * 1024;

QString journalPath(const QString& root)
{
    return root + QLatin1Char('/') + CycleJournal;
}

// The last line, with the count of ids: a journal whose name reached the
// disk before its bytes did ends without it. '#' is no id character, so no
// id passes for it.
QString closingLine(int count)
{
    return QStringLiteral("#end %1").arg(count);
}

// The ids of a whole journal; false for one cut short, garbled or unreadable.
bool readJournal(const QString& journal, QStringList& ids)
{
    QByteArray text;
    if (readRegularFile(journal, MaxJournalSize, text) != 0)
        return false;
    ids = QString::fromUtf8(text).split(QLatin1Char('\n'));
    // Whole only with its closing line, after which the text ends.
    if (ids.size() < 2 || !ids.takeLast().isEmpty())
        return false;
    const QString closing = ids.takeLast();
    if (closing != closingLine(ids.size()))
        return false;
    return std::all_of(ids.cbegin(), ids.cend(),
                       [](const QString& id) { return ConnProfile::checkId(id) == 0; });
}

// The id of every <id>.profile.old under root.
QStringList backupIds(const QString& root)
{
    QStringList ids;
    const QStringList names =
        QDir(root).entryList(QStringList{QLatin1Char('*') + ProfileSuffix + OldSuffix},
                             QDir::AllEntries | QDir::System | QDir::CaseSensitive, QDir::Name);
    for (const QString& name : names) {
        const QString id = idOfDir(name);
        if (ConnProfile::checkId(id) == 0 && name == id + ProfileSuffix + OldSuffix)
            ids << id;
    }
    return ids;
}

} // namespace

int writeJournal(const QString& root, const QStringList& ids, QString& reason)
{
    const QString journal = journalPath(root);
    const QString partial = journal + TmpSuffix;
    if (removeTree(partial) != 0) {
        reason = failureText(partial);
        LOG_ERROR << reason;
        return -1;
    }
    QFile file(partial);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        reason = failureText(partial, file.errorString());
        LOG_ERROR << reason;
        return -1;
    }
    const QByteArray text = (ids.join(QLatin1Char('\n')) + QLatin1Char('\n') +
                             closingLine(ids.size()) + QLatin1Char('\n'))
                                .toUtf8();
    // Its bytes are on the disk before its name is.
    if (libvelcor::utils::writeAll(file, text.constData(), text.size()) != 0)
        reason = failureText(partial, file.errorString());
    else if (::fsync(file.handle()) != 0)
        reason = failureText(partial);
    else
        reason.clear();
    file.close();
    if (reason.isEmpty() && moveEntry(partial, journal) != 0)
        reason = failureText(journal);
    if (!reason.isEmpty()) {
        LOG_ERROR << reason;
        QFile::remove(partial);
        return -1;
    }
    return 0;
}

int commitJournal(const QString& root, const QStringList& ids, QString& reason)
{
    const QString journal = journalPath(root);
    if (::unlink(QFile::encodeName(journal).constData()) != 0) {
        reason = failureText(journal);
        LOG_ERROR << reason;
        return -1;
    }
    QString why;
    if (libvelcor::utils::syncDir(root, &why) == 0)
        return 0;
    // A power loss could yet bring the journal back, and with it the undo
    // of the cycle: the cycle is undone now, and the journal written again
    // for the case where that undo is cut short too.
    reason = failureText(root, why);
    LOG_ERROR << reason;
    QString ignored;
    writeJournal(root, ids, ignored);
    return -1;
}

int undo(const QString& root, const QStringList& ids, QString& reason)
{
    int result = 0;
    for (const QString& id : ids) {
        // Only a member written since the journal was made has a backup.
        const QString dir = root + QLatin1Char('/') + id + ProfileSuffix;
        const QString old = dir + OldSuffix;
        if (!entryExists(old))
            continue;
        LOG_DEBUG << "[Profiles] Restoring: " << dir;
        QString failed;
        if (removeTree(dir) != 0)
            failed = failureText(dir);
        else if (moveEntry(old, dir) != 0)
            failed = failureText(old);
        if (!failed.isEmpty()) {
            LOG_ERROR << failed;
            if (result == 0)
                reason = failed;
            result = -1;
        }
    }
    if (result != 0)
        return -1;
    // A journal never put in place goes too: nothing was written under it.
    const QString journal = journalPath(root);
    for (const QString& path : {journal, QString(journal + TmpSuffix)}) {
        if (removeTree(path) != 0) {
            reason = failureText(path);
            LOG_ERROR << reason;
            return -1;
        }
    }
    return 0;
}

int rollBack(const QString& root, QString& reason)
{
    const QString journal = journalPath(root);
    if (!entryExists(journal))
        return undo(root, QStringList(), reason);
    QStringList ids;
    if (!readJournal(journal, ids)) {
        // A journal in place means the cycle never committed, so every
        // backup beside it holds the state before that save: all go back.
        // A whole journal names fewer: the backups of profiles written
        // before the cycle, outside it, are kept only for the rest of the
        // save and are leftovers once it stops.
        ids = backupIds(root);
        LOG_ERROR << "[Profiles] Incomplete journal of renames, every backup goes back: "
                  << journal;
    }
    return undo(root, ids, reason);
}

} // namespace renamecycle

// ------------------------------------------------------------ the set save

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
    ioError.clear();
    // Whatever an earlier failure could not put back of a cycle of renames
    // goes back before anything else is written.
    if (renamecycle::rollBack(profilesPath, ioError) != 0) {
        LOG_ERROR;
        return -1;
    }
    int result = 0;
    // Id order, except that a renamed profile goes before the profile that
    // takes its old id (saveOrder). Each record is fetched through get,
    // whose lines show in the log which profile the save is at.
    const QVector<SaveItem> order = saveOrder();
    int cycleEnd = -1;
    for (int i = 0; i < order.size(); ++i) {
        const SaveItem& item = order.at(i);
        const QString& id = item.id;
        ConnProfile* p = get(id);
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
        if (p)
            p->writeError.clear();
        if (updateProfile(p) != 0 || saveProfile(p, item.snapshot) != 0 ||
            updateProfilePost(p) != 0) {
            if (p)
                ioError = p->writeError;
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
            ioError = failureText(dirOf(ids.last()));
            LOG_ERROR << ioError;
            return -1;
        }
    }
    if (renamecycle::writeJournal(profilesPath, ids, ioError) != 0) {
        LOG_ERROR;
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
    QStringList ids;
    for (const CycleMember& m : qAsConst(cycle))
        ids << m.id;
    if (renamecycle::commitJournal(profilesPath, ids, ioError) != 0) {
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
    // From the members held here: a commit whose folder sync failed may
    // have left no journal to read them from.
    QStringList ids;
    for (const CycleMember& m : qAsConst(cycle))
        ids << m.id;
    QString reason;
    if (renamecycle::undo(profilesPath, ids, reason) != 0) {
        // The journal stays, if it is there: load, or the next save,
        // finishes the job.
        LOG_ERROR;
        ioError += (ioError.isEmpty() ? QString() : QStringLiteral("; ")) + reason;
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
    if (p->getType() == ConnProfile::VpnType &&
        p->getConfigMode() == ConnProfile::FilesConfigMode) {
        // A written profile resolves its OpenVPN file in its new directory.
        // An unchanged one keeps the file it resolved before while that is
        // still there, which one stat tells, so a save still costs what
        // changed; only when it went is the list searched again.
        const bool kept = !lastWritten && isReadableFile(p->getConfPath());
        if (!kept && p->setConfigFiles(p->getConfigFiles(), QString(), true) != 0) {
            LOG_DEBUG << "[Profiles] No usable OpenVPN file: " << p->getConfPath();
            LOG_ERROR;
            return -1;
        }
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
        // With the directories this store read or wrote go the others that
        // would bring the profile back. Last what load reads first: should a
        // deletion fail, what is left loads as the profile was.
        QStringList names = known.value(id);
        const bool ownGone = names.contains(id + ProfileSuffix) || !entryExists(dirOf(id));
        QStringList others;
        if (comebacks(id, ownGone, others) != 0) {
            LOG_ERROR << ioError;
            return -1;
        }
        for (const QString& name : qAsConst(others)) {
            if (!names.contains(name))
                names << name;
        }
        sortForLoading(names);
        std::reverse(names.begin(), names.end());
        for (const QString& name : qAsConst(names)) {
            const QString path = profilesPath + QLatin1Char('/') + name;
            const QString trash = path + DelSuffix;
            if (entryExists(path)) {
                LOG_DEBUG << "[Profiles] Deleting: " << path;
                // One rename takes the profile away whole; what remains to
                // remove is out of sight, and load clears it should this stop.
                if (removeTree(trash) != 0 || moveEntry(path, trash) != 0) {
                    ioError = failureText(path);
                    LOG_ERROR << ioError;
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
