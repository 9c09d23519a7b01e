#include "common/config.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSettings>

#include <limits>

#include "common/common.h"
#include "common/log.h"
#include "common/settingsfile.h"
#include "common/utils.h"
#include "libabout/about.h"
#include "libvelcor/json.h"

ORVO::Config* g_cfg = nullptr;

namespace ORVO {

namespace {

const char ConfName[] = "vtx.json";
// The user copy may hold the proxy's and the server's passwords.
const QFileDevice::Permissions PrivateFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

bool isPresent(const QVariantMap& map, const char* key)
{
    return !map.value(QLatin1String(key)).isNull();
}

enum class NumberRead { Ok, WrongType, OutOfRange };

// A number member: JSON numbers give their value, digit strings convert.
// The range is checked before any conversion: a double outside int makes
// the cast undefined.
NumberRead readInt(const QVariant& value, int& out)
{
    constexpr qint64 Min = std::numeric_limits<int>::min();
    constexpr qint64 Max = std::numeric_limits<int>::max();
    switch (static_cast<int>(value.type())) {
    case QMetaType::Int:
        out = value.toInt();
        return NumberRead::Ok;
    case QMetaType::LongLong: {
        const qint64 n = value.toLongLong();
        if (n < Min || n > Max)
            return NumberRead::OutOfRange;
        out = static_cast<int>(n);
        return NumberRead::Ok;
    }
    case QMetaType::UInt:
    case QMetaType::ULongLong: {
        const quint64 n = value.toULongLong();
        if (n > static_cast<quint64>(Max))
            return NumberRead::OutOfRange;
        out = static_cast<int>(n);
        return NumberRead::Ok;
    }
    case QMetaType::Double: {
        const double d = value.toDouble();
        // Truncation toward zero keeps every value between these bounds
        // inside int; NaN fails both tests.
        if (!(d > static_cast<double>(Min) - 1.0 && d < static_cast<double>(Max) + 1.0))
            return NumberRead::OutOfRange;
        out = static_cast<int>(d);
        return NumberRead::Ok;
    }
    case QMetaType::QString: {
        const QString text = value.toString();
        bool ok = false;
        const int n = text.toInt(&ok);
        if (ok) {
            out = n;
            return NumberRead::Ok;
        }
        text.toDouble(&ok);
        return ok ? NumberRead::OutOfRange : NumberRead::WrongType;
    }
    default:
        return NumberRead::WrongType;
    }
}

// A text member: a string, or a number as its text.
bool readText(const QVariant& value, QString& out)
{
    switch (static_cast<int>(value.type())) {
    case QMetaType::QString:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        out = value.toString();
        return true;
    default:
        return false;
    }
}

// A value as a refusal names it; texts are shortened.
QString describe(const QVariant& value)
{
    switch (static_cast<int>(value.type())) {
    case QMetaType::QString: {
        const QString text = value.toString();
        return QStringLiteral("the text \"") +
               (text.size() > 40 ? text.left(40) + QStringLiteral("...") : text) + QLatin1Char('"');
    }
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QMetaType::QVariantMap:
        return QStringLiteral("an object");
    case QMetaType::QVariantList:
        return QStringLiteral("a list");
    case QMetaType::Double:
        return QString::number(value.toDouble(), 'g', 6);
    default:
        return value.toString();
    }
}

QString member(const char* key)
{
    return QLatin1Char('"') + QLatin1String(key) + QLatin1Char('"');
}

QString member(const char* object, const char* key)
{
    return member(object) + QLatin1Char('/') + member(key);
}

// What is wrong with a number member, or empty when it is usable.
QString numberProblem(const QString& name, NumberRead read, const QVariant& value)
{
    if (read == NumberRead::WrongType)
        return name + QStringLiteral(" must be a whole number, not ") + describe(value);
    if (read == NumberRead::OutOfRange)
        return name + QStringLiteral(" is out of range: ") + describe(value);
    return QString();
}

// The "version" rule: missing, not a number or out of range counts as 0.
int versionOf(const QVariant& doc)
{
    int version = 0;
    if (readInt(doc.toMap().value(QStringLiteral("version")), version) != NumberRead::Ok)
        return 0;
    return version;
}

// Reads a JSON document from a regular file of bounded size. On failure
// problem says what is wrong, to follow the file's path in a sentence.
int readJson(const QString& path, QByteArray& bytes, QVariant& doc, QString& problem)
{
    doc = QVariant();
    if (utils::readRegularFile(path, libvelcor::json::MaxFileSize, bytes, problem) != 0)
        return -1;
    const QByteArray text = bytes.trimmed();
    if (text.isEmpty()) {
        problem = QStringLiteral("is empty");
        return -1;
    }
    if (text.at(0) != '{' && text.at(0) != '[') {
        problem = QStringLiteral("is not valid JSON: it must begin with '{' or '['");
        return -1;
    }
    bool ok = false;
    doc = libvelcor::json::parse(bytes, ok);
    if (!ok) {
        QJsonParseError error;
        QJsonDocument::fromJson(bytes, &error);
        problem = QStringLiteral("is not valid JSON: %1 at offset %2")
                      .arg(error.errorString())
                      .arg(error.offset);
        doc = QVariant();
        return -1;
    }
    return 0;
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
        LOG_ERROR << "[Config] the settings store could not be created";
        return;
    }
    LOG_DEBUG << "[Config] settings file=" << settings->fileName();
    // Made private before anything writes to it; a failure is logged, and
    // each later write of a value tries again.
    utils::settingsMakePrivate(settings);
    valid = true;
}

int Config::fail(const QString& text)
{
    errorText = text;
    LOG_ERROR << "[Config] " << text.toUtf8().constData();
    return -1;
}

int Config::installUserCopy(const QString& templatePath)
{
    const QString userPath = confFile.absoluteFilePath();
    // Shown to people: without the "/../" and the doubled separator.
    const QString shownTemplate = QDir::cleanPath(templatePath);
    QByteArray templateBytes;
    QVariant tmpl;
    QString problem;

    if (!confFile.exists()) {
        // The template is checked before it becomes the user copy: a broken
        // copy would fail every later start, even once the template is mended.
        if (readJson(templatePath, templateBytes, tmpl, problem) != 0)
            return fail(QStringLiteral("the template ") + shownTemplate + QLatin1Char(' ') +
                        problem + QStringLiteral("; it was not installed as ") + userPath);
        if (!QDir().mkpath(confPrefix))
            return fail(utils::mkpathFailure(confPrefix));
        if (utils::writeReplacing(templateBytes, userPath, PrivateFile, problem) != 0)
            return fail(QStringLiteral("cannot install the template as ") + userPath +
                        QStringLiteral(": ") + problem);
        confFile.refresh();
        return 0;
    }

    // Both are read before either is judged.
    QByteArray userBytes;
    QVariant user;
    QString userProblem;
    const int userRead = readJson(userPath, userBytes, user, userProblem);
    const int templateRead = readJson(templatePath, templateBytes, tmpl, problem);
    if (userRead != 0)
        return fail(userPath + QLatin1Char(' ') + userProblem);
    // A copy made before this rule, or by hand, is made private; a failure
    // stops nothing.
    QString modeProblem;
    if (utils::makeFilePrivate(userPath, false, modeProblem) != 0)
        LOG_ERROR << "[Config] " << modeProblem;
    if (templateRead != 0)
        return fail(QStringLiteral("the template ") + shownTemplate + QLatin1Char(' ') + problem);
    const int userVersion = versionOf(user);
    const int templateVersion = versionOf(tmpl);
    if (userVersion != 0 && templateVersion != 0 && templateVersion <= userVersion)
        return 0;

    LOG_DEBUG << "[Config] replacing: " << userPath;
    // What the user had is kept beside the new copy (the newest replaced
    // one only), unless it is the template already and nothing is lost.
    const QString oldPath = userPath + QStringLiteral(".old");
    const bool edited = userBytes != templateBytes;
    if (edited && utils::writeReplacing(userBytes, oldPath, PrivateFile, problem) != 0)
        return fail(QStringLiteral("cannot keep the copy to be replaced as ") + oldPath +
                    QStringLiteral(": ") + problem + QStringLiteral("; ") + userPath +
                    QStringLiteral(" is unchanged"));
    // The template goes in under a temporary name first and then replaces
    // the user copy in one step: a failed copy leaves the user copy as it was.
    if (utils::writeReplacing(templateBytes, userPath, PrivateFile, problem) != 0)
        return fail(QStringLiteral("cannot replace ") + userPath +
                    QStringLiteral(" by the template: ") + problem +
                    QStringLiteral("; it is unchanged"));
    confFile.refresh();
    if (edited) {
        const QString notice = userPath + QStringLiteral(" was replaced by the template ") +
                               shownTemplate + QStringLiteral(" (its version is ") +
                               QString::number(templateVersion) +
                               QStringLiteral("); the replaced copy is kept as ") + oldPath;
        notices << notice;
        LOG_NOTICE << "[Config] " << notice.toUtf8().constData();
    }
    return 0;
}

Config::~Config()
{
    delete settings;
    settings = nullptr;
}

int Config::loadFromFile()
{
    errorText.clear();
    const QString path = confFile.absoluteFilePath();
    QByteArray bytes;
    QString problem;
    if (readJson(path, bytes, json, problem) != 0) {
        errorText = path + QLatin1Char(' ') + problem;
        LOG_DEBUG << "[Config] Failed parsing config file" << path << ": "
                  << problem.toUtf8().constData();
        return -1;
    }
    if (parse(json.toMap()) != 0) {
        LOG_ERROR << "[Config] not applied: " << errorText.toUtf8().constData();
        return -1;
    }
    return 0;
}

// A member of the wrong type or out of range takes the error road of an
// unknown proxy type or an out-of-range level: nothing is guessed.
int Config::refuse(const QString& text)
{
    errorText = confFile.absoluteFilePath() + QStringLiteral(": ") + text;
    return -1;
}

int Config::parse(const QVariantMap& map)
{
    if (isPresent(map, "ca")) {
        const QVariant value = map.value(QStringLiteral("ca"));
        QString path;
        if (!readText(value, path)) {
            refuse(member("ca") + QStringLiteral(" must be a path, not ") + describe(value));
            LOG_ERROR << errorText.toUtf8().constData();
            return -1;
        }
        caFile = QFileInfo(path);
    }
    if (isPresent(map, "login")) {
        const QVariant value = map.value(QStringLiteral("login"));
        if (value.type() != QVariant::Map) {
            refuse(member("login") + QStringLiteral(" must be an object, not ") + describe(value));
            LOG_ERROR << errorText.toUtf8().constData();
            return -1;
        }
        if (parseLogin(value.toMap()) != 0) {
            LOG_ERROR << errorText.toUtf8().constData();
            return -1;
        }
    }
    if (isPresent(map, "proxy")) {
        const QVariant value = map.value(QStringLiteral("proxy"));
        if (value.type() != QVariant::Map) {
            refuse(member("proxy") + QStringLiteral(" must be an object, not ") + describe(value));
            LOG_ERROR << errorText.toUtf8().constData();
            return -1;
        }
        if (parseProxy(value.toMap()) != 0) {
            LOG_ERROR << errorText.toUtf8().constData();
            return -1;
        }
    }
    if (!isPresent(map, "log"))
        return 0;
    const QVariant log = map.value(QStringLiteral("log"));
    if (log.type() != QVariant::Map) {
        refuse(member("log") + QStringLiteral(" must be an object, not ") + describe(log));
        LOG_ERROR << errorText.toUtf8().constData();
        return -1;
    }
    const QVariant lev = log.toMap().value(QStringLiteral("lev"));
    if (lev.isNull())
        return 0;
    int level = 0;
    const NumberRead read = readInt(lev, level);
    if (read != NumberRead::Ok) {
        refuse(numberProblem(member("log", "lev"), read, lev));
        LOG_ERROR << "log level must be between 0 and 7! " << errorText.toUtf8().constData();
        return -1;
    }
    logLevel = level;
    if (logLevel < 0 || logLevel > 7) {
        refuse(member("log", "lev") + QStringLiteral(" is ") + QString::number(level));
        LOG_ERROR << "log level must be between 0 and 7! " << errorText.toUtf8().constData();
        return -1;
    }
    return 0;
}

int Config::parseLogin(const QVariantMap& map)
{
    // Every member is checked before any is applied.
    QString values[3];
    const char* const keys[3] = {"url", "user", "pass"};
    for (int i = 0; i < 3; ++i) {
        if (!isPresent(map, keys[i]))
            continue;
        const QVariant value = map.value(QLatin1String(keys[i]));
        if (!readText(value, values[i]))
            return refuse(member("login", keys[i]) + QStringLiteral(" must be text, not ") +
                          describe(value));
    }
    if (isPresent(map, "url"))
        loginUrl = values[0];
    if (isPresent(map, "user"))
        loginUser = values[1];
    if (isPresent(map, "pass"))
        loginPass = values[2];
    hasLogin = true;
    return 0;
}

int Config::parseProxy(const QVariantMap& map)
{
    QNetworkProxy::ProxyType type = QNetworkProxy::HttpProxy;
    if (isPresent(map, "type")) {
        const QVariant value = map.value(QStringLiteral("type"));
        QString word;
        if (!readText(value, word)) {
            return refuse(member("proxy", "type") + QStringLiteral(" must be text, not ") +
                          describe(value));
        }
        if (word == QLatin1String("http")) {
            type = QNetworkProxy::HttpProxy;
        } else if (word == QLatin1String("socks5")) {
            type = QNetworkProxy::Socks5Proxy;
        } else {
            refuse(member("proxy", "type") + QStringLiteral(" must be \"http\" or \"socks5\""));
            LOG_ERROR << QString(QStringLiteral("unknown proxy type: ") + word) << " in "
                      << confFile.absoluteFilePath();
            return -1;
        }
    }
    // Every member is checked before any is applied: a refused proxy leaves
    // the application proxy as it was.
    QString host;
    QString user;
    QString pass;
    int port = 0;
    const struct
    {
        const char* key;
        QString* out;
    } texts[] = {{"host", &host}, {"user", &user}, {"pass", &pass}};
    for (const auto& text : texts) {
        if (!isPresent(map, text.key))
            continue;
        const QVariant value = map.value(QLatin1String(text.key));
        if (!readText(value, *text.out))
            return refuse(member("proxy", text.key) + QStringLiteral(" must be text, not ") +
                          describe(value));
    }
    if (isPresent(map, "port")) {
        const QVariant value = map.value(QStringLiteral("port"));
        const NumberRead read = readInt(value, port);
        if (read != NumberRead::Ok)
            return refuse(numberProblem(member("proxy", "port"), read, value));
    }

    proxy.setType(type);
    if (isPresent(map, "host"))
        proxy.setHostName(host);
    if (isPresent(map, "port"))
        proxy.setPort(static_cast<quint16>(port & 0xffff));
    if (isPresent(map, "user"))
        proxy.setUser(user);
    if (isPresent(map, "pass"))
        proxy.setPassword(pass);
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
