#pragma once

#include <QByteArray>
#include <QHash>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <memory>

#include "profiles/connprofile.h"

class SimpleCrypt;

namespace ORVO {

// The profile store: the user's connection profiles, one directory each
// under <data location>/profiles, held as a working set that the login form
// and the profile editor borrow from, and a snapshot of each profile as it
// is on disk. An editing pass ends with save (write what changed, delete
// what was removed) or rollback (back to the snapshots).
class ConnProfiles
{
public:
    ConnProfiles();
    ~ConnProfiles();
    ConnProfiles(const ConnProfiles&) = delete;
    ConnProfiles& operator=(const ConnProfiles&) = delete;

    int load();
    int size() const;
    QStringList ids() const;
    ConnProfile* get(const QString& id) const;

    ConnProfile* add(QString id);
    int rename(const QString& oldId, const QString& newId);
    int remove(const QString& id);

    int save(QString& failedId);
    int rollback();

    // Whether the profile with this id is on disk under it.
    bool isSaved(const QString& id) const;
    // Whether something is on disk under this id that the store did not
    // read (a profile it cannot read, or not a profile): no profile may
    // take the id.
    bool isForeign(const QString& id) const;
    // Why the last load or save could not read or write: the system's reason
    // and the path; empty when it succeeded or failed on a profile's content.
    const QString& writeError() const { return ioError; }

private:
    int clear();
    int addProfile(ConnProfile* p);

    void recover();
    int parseProfile(const QString& id, const QMap<QString, QVariant>& json);
    // The record one config.json makes, checked, its files looked for in
    // base/<id>.profile; null when it is refused. Changes nothing.
    std::unique_ptr<ConnProfile> readProfile(const QString& id, const QMap<QString, QVariant>& json,
                                             const QString& base);
    int parseProfileCommon(ConnProfile* p, const QMap<QString, QVariant>& json);
    int parseProfileLs(ConnProfile* p, const QMap<QString, QVariant>& json);
    int parseProfileVpn(ConnProfile* p, const QMap<QString, QVariant>& json);

    struct SaveItem
    {
        QString id;
        ConnProfile* profile;
        const ConnProfile* snapshot;
        // On the first profile of a cycle of renames: how many profiles it has.
        int cycleLength = 0;
    };
    // A profile of the cycle of renames being written, as it was before.
    struct CycleMember
    {
        QString id;
        ConnProfile* profile;
        ConnProfile* before;   // the record's own copy, for its file references
        QString origId;        // not copied with the record
        ConnProfile* snapshot; // a copy of its snapshot, or null
        bool createdDir;       // written where no directory was
    };
    QVector<SaveItem> saveOrder() const;
    int updateProfile(ConnProfile* p);
    int saveProfile(ConnProfile* p, const ConnProfile* snapshot);
    int updateProfilePost(ConnProfile* p);
    void settleProfile(ConnProfile* p, const QString& previousOrigId);
    int saveDeletions();
    // Adds to out the other directories of a profile that is going,
    // <id>.<x>.profile, that would load under its id at the next start;
    // ownGone: <id>.profile goes too, or is not there. -1 with ioError set
    // when that cannot be judged.
    int comebacks(const QString& id, bool ownGone, QStringList& out);
    void finishSave(bool succeeded);
    int beginCycle(const QVector<SaveItem>& order, int first);
    int endCycle();
    void undoCycle();

    // The working set as get logs it, in the notation of Qt's debug stream.
    const QByteArray& workingSetText() const;
    QString dirOf(const QString& id) const;
    void dropSnapshot(const QString& id);

    QMap<QString, ConnProfile*> profiles;
    QMap<QString, ConnProfile*> snapshots;
    // The text of workingSetText; emptied whenever profiles changes.
    mutable QByteArray setText;
    QString profilesPath;
    QString ioError;
    int newCounter = 0;
    SimpleCrypt* crypt = nullptr;

    // The directories that this store read or wrote, by profile id: only
    // those are ever deleted, and no other directory's name is given out.
    QHash<QString, QStringList> known;
    // Ids that left the working set since the last save of the set: the
    // only candidates for deletion, so a save costs what changed.
    QSet<QString> departed;
    // During a save of the set: ids whose previous directory was moved
    // aside to <id>.profile.old and is kept until the set is written,
    // because a renamed profile may still take its files from there.
    QMap<QString, QString> aside;
    // During a save of the set: whether the record just handled was written.
    bool lastWritten = false;
    // During a save of the set: the cycle of renames under way, whose
    // members are put back as they were should one of them fail.
    QVector<CycleMember> cycle;
};

} // namespace ORVO
