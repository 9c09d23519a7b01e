#pragma once

#include <QFileInfo>
#include <QNetworkProxy>
#include <QString>
#include <QStringList>
#include <QVariant>

class QSettings;

namespace ORVO {

// The program's configuration: installs and upgrades the user copy of
// vtx.json from the bundle's template, owns the settings store, and applies
// the file's CA, login, proxy and log level. Its members are read directly
// by start-up and by the logging macros.
class Config
{
public:
    explicit Config(const QString& appDir);
    ~Config();
    Config(const Config&) = delete;
    Config& operator=(const Config&) = delete;

    int loadFromFile();
    int parse(const QVariantMap& map);
    int parseLogin(const QVariantMap& map);
    int parseProxy(const QVariantMap& map);
    QString dump();
    QString joinPaths(const QString& a, const QString& b);

    QSettings* settings = nullptr;
    QFileInfo confFile;
    QFileInfo caFile;
    bool hasLogin = false;
    QString loginUrl;
    QString loginUser;
    QString loginPass;
    int logLevel = 7;
    bool valid = false;
    QVariant json;
    QString prefix;
    QString confPrefix;
    QString confTemplatePrefix;
    QNetworkProxy proxy;
    // What the last failure of construction or loading was, naming the file
    // (and the member) at fault; empty while nothing failed.
    QString errorText;
    // Lines worth keeping in the file log, which opens only after
    // construction: the replacement of the user copy.
    QStringList notices;

private:
    int installUserCopy(const QString& templatePath);
    int fail(const QString& text);
    int refuse(const QString& text);
};

} // namespace ORVO

// The loaded configuration; null until start-up has loaded it.
extern ORVO::Config* g_cfg;
