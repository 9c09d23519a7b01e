#include "mgr/processmanager.h"

#include <QFile>
#include <QSettings>
#include <QStandardPaths>

#include "common/applocation.h"
#include "common/common.h"
#include "common/log.h"
#include "common/settingsfile.h"
#include "common/utils.h"
#include "libabout/about.h"

namespace ORVO {

namespace {

QString actionKey(const QVariantMap& action)
{
    return utils::remapQueryItem(action.value(QStringLiteral("name")).toString()) +
           QLatin1Char('_') +
           utils::remapQueryItem(action.value(QStringLiteral("endpoint")).toString());
}

QString selectExecutableText()
{
    return ProcessManager::tr("Select executable file");
}

} // namespace

ProcessManager::ProcessManager() : QObject(nullptr)
{
    LOG_TRACE;
    qRegisterMetaType<ORVO::ProcessManager::Error>();
    qRegisterMetaType<ORVO::ProcessManager::State>();
    homePath = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
    LOG_DEBUG << "[ProcessManager] homePath: " << homePath;

    settings = new QSettings(QString::fromLatin1(LibVelcorOrganization),
                             QString::fromLatin1(ORVO::ApplicationId));
    if (settings)
        valid = true;
    else
        LOG_ERROR;
}

ProcessManager::~ProcessManager()
{
    LOG_TRACE;
    LOG_DEBUG << "[ProcessManager] process count: " << pids.size();
    // Each deletion stops its child.
    const QList<Process*> filed = pids.values();
    pids.clear();
    for (Process* process : filed) {
        owned.remove(process);
        delete process;
    }
    // Children still starting, and Processes already on their way out.
    const QSet<Process*> rest = owned;
    owned.clear();
    qDeleteAll(rest);

    delete settings;
    settings = nullptr;
}

QString ProcessManager::errorString(ProcessManager::Error err)
{
    switch (err) {
    case ErrorNone:
        return tr("No error");
    case ErrorBadParams:
        return tr("Bad parameters");
    case ErrorOutOfMemory:
        return tr("Out of memory");
    case ErrorAlreadyRunning:
        return tr("Specified action already running for given endpoint");
    case ErrorNotExecutable:
        return tr("Not a valid executable");
    case ErrorRunning:
        return tr("Error running process");
    case ErrorNotSaved:
        return tr("The program location could not be saved");
    }
    return QString();
}

int ProcessManager::startAction(const QVariantMap& action)
{
    LOG_TRACE;
    for (const char* required : {"name", "remark", "path"}) {
        if (action.value(QString::fromLatin1(required)).isNull()) {
            LOG_ERROR;
            emit sigError(ErrorBadParams, QString(""));
            return -1;
        }
    }

    const QString name = utils::remapQueryItem(action.value(QStringLiteral("name")).toString());
    const QString endpoint =
        utils::remapQueryItem(action.value(QStringLiteral("endpoint")).toString());
    const QString remark = utils::remapQueryItem(action.value(QStringLiteral("remark")).toString());
    const QString path = utils::remapQueryItem(action.value(QStringLiteral("path")).toString());
    const QString args = utils::remapQueryItem(action.value(QStringLiteral("args")).toString());
    const QString ips = action.value(QStringLiteral("ips")).toString();
    const QString key = name + QLatin1Char('_') + endpoint;

    LOG_DEBUG << "[ProcessManager] Starting action name: " << name << ", endpoint: " << endpoint
              << ", remark: " << remark << ", ips: " << ips << ", path: " << path
              << ", args: " << args;

    // A new start replaces the running instance.
    if (keys.contains(key))
        stopAction(action);

    pendingName = name;
    pendingValue = remark + QLatin1Char('|') + path;

    // CUSTOM: where the user found it before, on this management server.
    const QVariant stored = pendingName.isEmpty() ? QVariant() : settings->value(pendingName);
    if (stored.isValid()) {
        const QStringList fields = stored.toString().split(QLatin1Char('|'), Qt::KeepEmptyParts);
        if (fields.size() < 3) {
            // Not a value we wrote: fall through to the default locations.
            LOG_ERROR << "Malformed stored location for " << pendingName;
        } else {
            const QString custom = fields.at(2);
            if (isRunnable(QFileInfo(custom))) {
                LOG_DEBUG << "[ProcessManager] Action found in CUSTOM path: " << custom;
                return startEx(false, custom, action);
            }
        }
    }

    // DEFAULT: the pattern against each PATH entry, in order; an empty entry
    // stands for the current directory.
    const QByteArray rawPath = qgetenv("PATH");
    QStringList entries;
    if (!rawPath.isEmpty())
        entries = QFile::decodeName(rawPath).split(QLatin1Char(':'), Qt::KeepEmptyParts);
    for (const QString& entry : qAsConst(entries)) {
        const QString candidate = remapPath(path, entry);
        LOG_DEBUG << "[ProcessManager] Trying remappedPath: " << candidate;
        if (isRunnable(QFileInfo(candidate))) {
            LOG_DEBUG << "[ProcessManager] Action found in DEFAULT path: " << candidate;
            return startEx(false, candidate, action);
        }
    }

    // USER: the answer arrives at chosenOpenFile.
    LOG_DEBUG << "[ProcessManager] Action not found - prompting to USER";
    pendingArgs = args;
    emit chooseOpenFile(selectExecutableText());
    return -1;
}

int ProcessManager::stopAction(const QVariantMap& action)
{
    LOG_TRACE;
    if (action.value(QStringLiteral("name")).isNull()) {
        LOG_ERROR;
        return -1;
    }
    const QString key = actionKey(action);
    const auto it = keys.constFind(key);
    if (it == keys.constEnd()) {
        LOG_ERROR;
        return -1;
    }
    const qint64 pid = it.value();
    LOG_DEBUG << "[ProcessManager] Removing action " << key << ":" << pid;
    removePid(pid);
    keys.remove(key);
    return 0;
}

QString ProcessManager::remapPath(const QString& path, const QString& programPath)
{
    QString result = path;
    result.replace(QLatin1String("%HOME_PATH%"), homePath);
    result.replace(QLatin1String("%PROGRAM_PATH%"), programPath);
    result.replace(QLatin1String("%SYSTEM_DRIVE%"), QLatin1String("/"));
    result.replace(QLatin1String("%SYSTEM_ROOT%"), QLatin1String("/"));
    return result;
}

bool ProcessManager::isRunnable(const QFileInfo& info)
{
    // Application bundles are directories; the executable bit plays no part.
    return info.isFile() || info.isDir();
}

int ProcessManager::start(const QString& path, const QString& args)
{
    LOG_TRACE;
    QVariantMap map;
    map.insert(QStringLiteral("args"), args);
    return startEx(false, path, map);
}

int ProcessManager::startDetached(const QString& path, const QString& args)
{
    LOG_TRACE;
    QVariantMap map;
    map.insert(QStringLiteral("args"), args);
    return startEx(true, path, map);
}

int ProcessManager::startEx(bool detached, const QString& path, const QVariant& params)
{
    LOG_TRACE;
    QVariantMap map = params.toMap();
    map.insert(QStringLiteral("path"), path);

    auto* process = new Process(map);
    qint64 pid = 0;
    QProcess* handle = detached ? process->startDetached(&pid) : process->start();
    // A detached start that got no process id did not start anything.
    if (!handle || (detached && pid <= 0)) {
        LOG_ERROR;
        emit sigError(ErrorRunning, QString(""));
        delete process;
        return -1;
    }

    owned.insert(process);
    connect(process, &QObject::destroyed, this, [this, process]() { owned.remove(process); });
    connect(process, &Process::stateChanged, this, &ProcessManager::processStateChanged);
    connect(process, &Process::error, this, &ProcessManager::processError);

    // An attached child is filed once it reports that it runs.
    if (detached)
        addPid(pid, process);
    return 0;
}

void ProcessManager::addPid(qint64 pid, Process* process)
{
    LOG_TRACE;
    if (pid == 0) {
        LOG_ERROR;
        return;
    }
    LOG_DEBUG << "[ProcessManager] Adding pid: " << pid;
    if (pids.contains(pid))
        removePid(pid);
    pids.insert(pid, process);
    if (!process || process->key.isEmpty())
        return;
    LOG_DEBUG << "[ProcessManager] Adding " << process->key << ":" << pid;
    keys.insert(process->key, pid);
}

void ProcessManager::removePid(qint64 pid)
{
    LOG_TRACE;
    if (pid == 0) {
        LOG_ERROR;
        return;
    }
    LOG_DEBUG << "[ProcessManager] Removing pid: " << pid;
    Process* process = pids.take(pid);
    // Possibly inside the Process's own signal: delete it later. Its
    // deletion stops the child.
    if (process)
        process->deleteLater();
}

void ProcessManager::processStateChanged(Process::State state)
{
    LOG_TRACE;
    LOG_DEBUG << "state: " << int(state);
    auto* process = qobject_cast<Process*>(sender());
    if (!process) {
        LOG_ERROR;
        return;
    }

    switch (state) {
    case Process::StateIdle: {
        const qint64 pid = process->pid;
        if (pid != 0 && pids.value(pid) == process) {
            removePid(pid);
        } else {
            // Ended before it ran, or already taken out: nobody else will
            // delete it.
            if (pid == 0)
                LOG_ERROR;
            process->deleteLater();
        }
        // Only while the key still names this child: a newer child under
        // the same key must stay reachable.
        const auto it = keys.constFind(process->key);
        if (!process->key.isEmpty() && it != keys.constEnd() && it.value() == pid) {
            LOG_DEBUG << "[ProcessManager] Removing " << process->key;
            keys.remove(process->key);
        }
        break;
    }
    case Process::StateRunning:
        addPid(process->pid, process);
        break;
    default:
        break;
    }
}

void ProcessManager::processError(Process::Error error)
{
    LOG_TRACE;
    Q_UNUSED(error)
    emit sigError(ErrorRunning, QString(""));
}

void ProcessManager::gotServerId(const QUuid& uuid)
{
    LOG_TRACE;
    LOG_DEBUG << "uuid: " << uuid.toString();
    // At most the two levels entered below.
    if (!settings->group().isEmpty())
        settings->endGroup();
    if (!settings->group().isEmpty())
        settings->endGroup();
    settings->beginGroup(applocation::serverGroup(uuid));
    settings->beginGroup(QLatin1String(applocation::ActionsGroup));
}

void ProcessManager::chosenOpenFile(const QString& file)
{
    LOG_TRACE;
    LOG_DEBUG << "[ProcessManager] User chose file: " << file << ", args: " << pendingArgs;
    if (file.isEmpty())
        return;

    if (!isRunnable(QFileInfo(file))) {
        LOG_ERROR;
        emit sigError(ErrorNotExecutable, QStringLiteral("path: ") + file);
        emit chooseOpenFile(selectExecutableText());
        return;
    }

    // A "|" in the remark, the default path or the chosen file would shift
    // the fields of the entry: such a location is used now, not stored.
    const QString value = pendingValue + QLatin1Char('|') + file;
    applocation::Entry entry;
    QString why;
    LOG_DEBUG << "[ProcessManager] Storing key: " << pendingName << ", val: " << value;
    if (pendingName.isEmpty())
        LOG_ERROR << "No action waits for a location";
    else if (applocation::parse(value, entry) != 0)
        LOG_ERROR << "A location field holds the separator; not stored";
    else if (utils::settingsSetSync(settings, pendingName, value, &why) != 0)
        emit sigError(ErrorNotSaved, why);

    QVariantMap params;
    params.insert(QStringLiteral("args"), pendingArgs);
    startEx(false, file, params);
}

void ProcessManager::test()
{
    LOG_TRACE;
    LOG_DEBUG << "[ProcessManager] pids: " << pids.size() << ", keys: " << keys.size();
}

} // namespace ORVO
