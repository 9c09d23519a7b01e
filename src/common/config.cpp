#include "common/config.h"

#include <QDir>
#include <QFile>
#include <QSettings>

#include <cstdio>

#include "common/common.h"
#include "common/log.h"
#include "libabout/about.h"
#include "libvelcor/json.h"

ORVO::Config* g_cfg = nullptr;

namespace ORVO {

namespace {

const char ConfName[] = "vtx.json";

bool isPresent(const QVariantMap& map, const char* key)
{
    return !map.value(QLatin1String(key)).isNull();
}

// A number member: JSON numbers give their value, digit strings convert,
// anything else is 0.
int toInt(const QVariant& value)
{
    switch (static_cast<int>(value.type())) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return static_cast<int>(value.toLongLong());
    case QMetaType::Double: {
        // Beyond qint64 the conversion is undefined: no value.
        const double d = value.toDouble();
        if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0))
            return 0;
        return static_cast<int>(static_cast<qint64>(d));
    }
    case QMetaType::QString: {
        bool ok = false;
        const int n = value.toString().toInt(&ok);
        return ok ? n : 0;
    }
    default:
        return 0;
    }
}

int versionOf(const QVariant& doc)
{
    return toInt(doc.toMap().value(QStringLiteral("version")));
}

// Copies the file to target through a temporary sibling that replaces the
// target in one rename, so a failed copy never leaves a partial or missing
// target behind.
bool copyReplacing(const QString& source, const QString& target)
{
    const QString temp = target + QStringLiteral(".tmp");
    QFile::remove(temp);
    if (!QFile::copy(source, temp))
        return false;
    if (std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(target).constData()) !=
        0) {
        QFile::remove(temp);
        return false;
    }
    return true;
}

// The dump goes to the log and the log viewer: no password may show in it.
QVariant maskPasswords(const QVariant& value)
{
    if (value.type() == QVariant::Map) {
        QVariantMap map = value.toMap();
        for (auto it = map.begin(); it != map.end(); ++it) {
            if (it.key() == QLatin1String("pass") && !it.value().isNull())
                it.value() = QStringLiteral("********");
            else
                it.value() = maskPasswords(it.value());
        }
        return map;
    }
    if (value.type() == QVariant::List) {
        QVariantList list = value.toList();
        for (QVariant& item : list)
            item = maskPasswords(item);
        return list;
    }
    return value;
}

} // namespace

Config::Config(const QString& appDir)
{
    prefix = appDir + QStringLiteral("/../");
    confTemplatePrefix = prefix + QStringLiteral("Resources/etc/");
    confPrefix = getAppDataDir();
    LOG_DEBUG << "[Config] prefix=" << prefix;
    LOG_DEBUG << "[Config] confTemplatePrefix=" << confTemplatePrefix;
    LOG_DEBUG << "[Config] confPrefix=" << confPrefix;

    confFile = QFileInfo(confPrefix + QLatin1Char('/') + QLatin1String(ConfName));
    const QString templatePath = confTemplatePrefix + QLatin1Char('/') + QLatin1String(ConfName);
    if (installUserCopy(templatePath) != 0)
        return;

    hasLogin = false;
    loginUrl = QStringLiteral("https://lodestar.example.test");
    loginUser = QStringLiteral("lsUser");
    loginPass = QStringLiteral("kqPwtz");

    settings = new QSettings(org(), QLatin1String(ORVO::ApplicationId));
    if (!settings) {
        LOG_ERROR;
        return;
    }
    LOG_DEBUG << "[Config] settings file=" << settings->fileName();
    valid = true;
}

int Config::installUserCopy(const QString& templatePath)
{
    const QString userPath = confFile.absoluteFilePath();
    if (!confFile.exists()) {
        QDir().mkpath(confPrefix);
        // A first install copies the template as it is; a broken template
        // is only noticed when the copy is loaded.
        if (!copyReplacing(templatePath, userPath)) {
            LOG_ERROR;
            return -1;
        }
        confFile.refresh();
        return 0;
    }

    bool userOk = false;
    bool templateOk = false;
    const QVariant user = libvelcor::json::parseFromFile(userPath, userOk);
    const QVariant tmpl = libvelcor::json::parseFromFile(templatePath, templateOk);
    if (!userOk || !templateOk) {
        LOG_ERROR;
        return -1;
    }
    const int userVersion = versionOf(user);
    const int templateVersion = versionOf(tmpl);
    if (userVersion != 0 && templateVersion != 0 && templateVersion <= userVersion)
        return 0;

    LOG_DEBUG << "[Config] replacing: " << userPath;
    // The template goes in under a temporary name first and then replaces
    // the user copy in one step: a failed copy leaves the user copy as it was.
    if (!copyReplacing(templatePath, userPath)) {
        LOG_ERROR;
        return -1;
    }
    confFile.refresh();
    return 0;
}

Config::~Config()
{
    delete settings;
    settings = nullptr;
}

int Config::loadFromFile()
{
    bool ok = false;
    const QString path = confFile.absoluteFilePath();
    json = libvelcor::json::parseFromFile(path, ok);
    if (!ok) {
        LOG_DEBUG << "[Config] Failed parsing config file" << path;
        return -1;
    }
    if (parse(json.toMap()) != 0) {
        LOG_ERROR;
        return -1;
    }
    return 0;
}

int Config::parse(const QVariantMap& map)
{
    if (isPresent(map, "ca"))
        caFile = QFileInfo(map.value(QStringLiteral("ca")).toString());
    if (isPresent(map, "login"))
        parseLogin(map.value(QStringLiteral("login")).toMap());
    if (isPresent(map, "proxy")) {
        if (parseProxy(map.value(QStringLiteral("proxy")).toMap()) != 0) {
            LOG_ERROR;
            return -1;
        }
    }
    const QVariant lev = map.value(QStringLiteral("log")).toMap().value(QStringLiteral("lev"));
    if (lev.isNull())
        return 0;
    logLevel = toInt(lev);
    if (logLevel < 0 || logLevel > 7) {
        LOG_ERROR << "log level must be between 0 and 7!";
        return -1;
    }
    return 0;
}

int Config::parseLogin(const QVariantMap& map)
{
    if (isPresent(map, "url"))
        loginUrl = map.value(QStringLiteral("url")).toString();
    if (isPresent(map, "user"))
        loginUser = map.value(QStringLiteral("user")).toString();
    if (isPresent(map, "pass"))
        loginPass = map.value(QStringLiteral("pass")).toString();
    hasLogin = true;
    return 0;
}

int Config::parseProxy(const QVariantMap& map)
{
    QNetworkProxy::ProxyType type = QNetworkProxy::HttpProxy;
    if (isPresent(map, "type")) {
        const QString word = map.value(QStringLiteral("type")).toString();
        if (word == QLatin1String("http")) {
            type = QNetworkProxy::HttpProxy;
        } else if (word == QLatin1String("socks5")) {
            type = QNetworkProxy::Socks5Proxy;
        } else {
            LOG_ERROR << QString(QStringLiteral("unknown proxy type: ") + word);
            return -1;
        }
    }
    proxy.setType(type);
    if (isPresent(map, "host"))
        proxy.setHostName(map.value(QStringLiteral("host")).toString());
    if (isPresent(map, "port"))
        proxy.setPort(static_cast<quint16>(toInt(map.value(QStringLiteral("port"))) & 0xffff));
    if (isPresent(map, "user"))
        proxy.setUser(map.value(QStringLiteral("user")).toString());
    if (isPresent(map, "pass"))
        proxy.setPassword(map.value(QStringLiteral("pass")).toString());
    QNetworkProxy::setApplicationProxy(proxy);
    return 0;
}

QString Config::dump()
{
    bool ok = false;
    QString text;
    text += QStringLiteral("dumping configuration:\n");
    text += QStringLiteral("prefix=") + prefix + QLatin1Char('\n');
    text += QStringLiteral("conf path=") + QLatin1String(ConfName) + QLatin1Char('\n');
    text += QStringLiteral("proxy type=") +
            QString::number(static_cast<int>(QNetworkProxy::applicationProxy().type())) +
            QLatin1Char('\n');
    text += libvelcor::json::serialize(maskPasswords(json), ok);
    return text;
}

QString Config::joinPaths(const QString& a, const QString& b)
{
    return QDir::cleanPath(a) + QDir::separator() + b;
}

} // namespace ORVO
