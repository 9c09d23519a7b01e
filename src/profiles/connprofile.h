#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <libvelcor/auth.h>
#include <libvelcor/vpnconfig.h>

class SimpleCrypt;

namespace ORVO {

class ConnProfiles;

// One connection profile: its kind, how its OpenVPN configuration is given,
// its credential and certificate settings and its OpenVPN settings. A plain
// value record owned by the profile store; everyone else borrows it.
//
// On disk a profile is the directory basePath/<id>.profile holding
// config.json, openvpn.conf (manual OpenVPN profiles) and a copy of every
// file the record references, named there by its bare file name.
class ConnProfile
{
    friend class ConnProfiles;

public:
    // Fixed to int: an unknown word of config.json becomes -1, which the
    // setters must be able to hold and refuse.
    enum Type : int { LsType = 0, VpnType = 1 };
    enum ConfigMode : int { ManualConfigMode = 0, FilesConfigMode = 1 };
    enum Owner : int { UserOwner = 0, AllOwner = 1 };
    enum ConnMode : int { ManualConnMode = 0, LoginConnMode = 1, StartupConnMode = 2 };

    ConnProfile();
    // Copies everything but the previous id; the copy owns its own scrambler.
    ConnProfile(const ConnProfile& other);
    ~ConnProfile();
    // No assignment: two records must never share one scrambler.
    ConnProfile& operator=(const ConnProfile&) = delete;

    // Ignores the base path, the previous id and the scrambler.
    bool operator==(const ConnProfile& other) const;
    bool operator!=(const ConnProfile& other) const { return !(*this == other); }

    const QString& getBasePath() const { return basePath; }
    int setBasePath(const QString& path);
    const QString& getId() const { return id; }
    int setId(const QString& id);
    const QString& getOrigId() const { return origId; }
    int setOrigId(const QString& id);
    static int checkId(const QString& id);

    static Type typeFromString(const QString& s);
    static QString typeToString(Type t);
    static ConfigMode configModeFromString(const QString& s);
    static QString configModeToString(ConfigMode m);
    static Owner ownerFromString(const QString& s);
    static QString ownerToString(Owner o);
    static ConnMode connModeFromString(const QString& s);
    static QString connModeToString(ConnMode c);

    Type getType() const { return type; }
    int setType(Type t);
    ConfigMode getConfigMode() const { return configMode; }
    int setConfigMode(ConfigMode m);
    const QStringList& getConfigFiles() const { return configFiles; }
    bool getManualAuth() const { return manualAuth; }
    int setManualAuth(bool value);
    bool getRememberAuth() const { return rememberAuth; }
    int setRememberAuth(bool value);
    libvelcor::Auth& getAuth() { return auth; }
    int setAuth(const libvelcor::Auth& a);
    QByteArray& getP12Data() { return p12Data; }
    int setP12Data(const QByteArray& data);
    bool getCaVerify() const { return caVerify; }
    int setCaVerify(bool value);
    QString getCaPath() const;
    int setCaPath(const QString& path);
    const QString& getCaData() const { return caData; }
    int setCaData(const QString& data);
    QString getConfPath() { return confPath; }
    Owner getOwner() const { return owner; }
    int setOwner(Owner o);
    ConnMode getConnMode() const { return connMode; }
    int setConnMode(ConnMode c);
    libvelcor::VpnConfig& getVpnConfig() { return vpnConfig; }
    bool getPullRoutes() const { return pullRoutes; }
    int setPullRoutes(bool value);

    // The OpenVPN configuration file of the profile.
    int setConfigFiles(const QStringList& files, QString searchDir, bool check);
    int setConfPath(const QString& path, bool check);
    int loadVpnConfig(const QString& path, bool fromFileFlag);

    // 0 when a credential kept and remembered in the profile is usable.
    int validate();

    // Writes the profile to basePath/<id>.profile in one transaction. With
    // the flag set and the directory taken, saves under a free id instead.
    int save(bool newIdIfExists);
    // Steps of the save: bring the referenced files into dir and refer to
    // them by bare name; carry the files of a renamed profile.
    int importExternalFiles(const QString& dir);
    int importExternalPath(const QString& path, const QString& dir, QString& newName,
                           bool& external);
    int copyOrigFiles(const QString& fromDir, const QString& toDir);
    int copyFile(const QString& from, const QString& to);

    // A file reference as config.json may hold it: absolute, or a plain file
    // name inside the profile directory (nothing that climbs out of it).
    static bool isSafeReference(const QString& ref);
    static bool isBareName(const QString& name);

private:
    struct References
    {
        QString caPath;
        QString vpnCaPath;
        QString authPath;
        QStringList configFiles;
        QString confPath;
    };

    QString profileDir() const;
    QString originDir() const;
    References references() const;
    void restoreReferences(const References& refs);
    int buildDocument(const QString& tmpDir, QVariantMap& doc);
    // Writes a file of the profile, private to the user; writeError on failure.
    int writeFile(const QByteArray& bytes, const QString& path);

    QString basePath;
    QString origId;
    SimpleCrypt* crypt = nullptr;
    QString id;
    Type type = VpnType;
    ConfigMode configMode = ManualConfigMode;
    QStringList configFiles;
    bool manualAuth = true;
    bool rememberAuth = true;
    QByteArray p12Data;
    libvelcor::Auth auth;
    bool caVerify = false;
    QString caPath;
    QString caData;
    QString confPath;
    Owner owner = UserOwner;
    ConnMode connMode = ManualConnMode;
    libvelcor::VpnConfig vpnConfig;
    bool pullRoutes = true;

    // Store bookkeeping, outside equality. storedId: the id of the directory
    // that holds this record's files, empty while it has none (a record made
    // by add); copied, so a rolled-back copy still knows its directory.
    QString storedId;
    // Set by the store around one save of the set: where the files named by
    // bare name lie now, and that the backup directory is the store's to
    // remove once the whole set is written. Never copied.
    bool inSetSave = false;
    QString setOrigin;
    bool backupMade = false;
    // Why the last save could not write: the system's reason and the path;
    // empty when it failed on the content. Never copied.
    QString writeError;
};

} // namespace ORVO

Q_DECLARE_METATYPE(ORVO::ConnProfile*)

namespace ORVO {
// Registers ORVO::ConnProfile* under the name the signatures spell.
void registerProfileMetaTypes();
} // namespace ORVO
