#include "mgr/process.h"

#include <QFileInfo>
#include <QTimer>
#include <QVariantMap>

#include <csignal>
#include <sys/types.h>

#include "common/log.h"
#include "common/utils.h"

namespace ORVO {

namespace {

QString defaultOpener()
{
#ifdef Q_OS_MACOS
    return QStringLiteral("open");
#else
    return QString();
#endif
}

QString& openerProgram()
{
    static QString program = defaultOpener();
    return program;
}

} // namespace

Process::Process(const QVariant& params) : QObject(nullptr)
{
    LOG_TRACE;
    // Carried by signals that are connected by signature and spied on.
    qRegisterMetaType<ORVO::Process::State>();
    qRegisterMetaType<ORVO::Process::Error>();
    const QVariantMap map = params.toMap();
    name = map.value(QStringLiteral("name")).toString();
    endpoint = map.value(QStringLiteral("endpoint")).toString();
    path = map.value(QStringLiteral("path")).toString();
    args = utils::remapQueryItem(map.value(QStringLiteral("args")).toString());
    // The same key that ProcessManager builds from a decoded action map.
    if (!name.isEmpty())
        key = utils::remapQueryItem(name) + QLatin1Char('_') + utils::remapQueryItem(endpoint);
    LOG_DEBUG << "[Process] key: " << key << ", path: " << path << ", args: " << args;
}

Process::~Process()
{
    LOG_TRACE;
    stop();
}

QString Process::opener()
{
    return openerProgram();
}

void Process::setOpener(const QString& program)
{
    openerProgram() = program;
}

QStringList Process::splitArgs(const QString& args)
{
    if (args.isEmpty())
        return QStringList();
    return args.split(QLatin1Char(' '), Qt::KeepEmptyParts);
}

QProcess* Process::start()
{
    LOG_TRACE;
    detached = false;
    return startEx(nullptr);
}

QProcess* Process::startDetached(qint64* pidOut)
{
    LOG_TRACE;
    detached = true;
    return startEx(pidOut);
}

QProcess* Process::startEx(qint64* pidOut)
{
    LOG_TRACE;
    if (state != StateIdle || process) {
        LOG_ERROR << "Bad state: " << int(state);
        lastError = ErrorBadState;
        emit error(ErrorBadState);
        if (process) {
            // Its end must not come back as a report of this Process.
            process->blockSignals(true);
            delete process;
            process = nullptr;
        }
        return nullptr;
    }

    process = new QProcess();
    connect(process, &QProcess::errorOccurred, this, &Process::processError);
    connect(process, &QProcess::started, this, &Process::processStarted);
    connect(process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
            &Process::processFinished);
    // Nobody reads the child's output; buffering it would only grow.
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());

    QStringList list = splitArgs(args);
    const QString bundleOpener = opener();
    if (!bundleOpener.isEmpty() && QFileInfo(path).suffix() == QLatin1String("app")) {
        list = QStringList{QStringLiteral("-n"), path, QStringLiteral("--args")} + list;
        path = bundleOpener;
    }
    LOG_DEBUG << "path: " << path;
    LOG_DEBUG << "args" << list;

    if (detached) {
        qint64 childPid = 0;
        process->setProgram(path);
        process->setArguments(list);
        if (!process->startDetached(&childPid))
            childPid = 0;
        pid = childPid;
        if (pidOut)
            *pidOut = pid;
    } else {
        process->start(path, list, QIODevice::ReadWrite);
        if (!process) {
            // QProcess refused at once (its error was delivered inside start()).
            return nullptr;
        }
    }

    setState(StateStarting);
    return process;
}

int Process::stop()
{
    LOG_TRACE;
    if (detached) {
        LOG_DEBUG << "[Process] Killing pid " << pid;
        // 0 or a negative id would signal a whole process group, ours included.
        if (pid > 0)
            ::kill(pid_t(pid), SIGTERM);
        else
            LOG_ERROR << "No process id to kill";
    }
    if (process) {
        if (process->state() != QProcess::NotRunning) {
            process->blockSignals(true);
            process->terminate();
            process->waitForFinished(StopTimeoutMs);
        }
        delete process;
        process = nullptr;
    }
    lastError = ErrorNone;
    return 0;
}

void Process::setState(State value)
{
    state = value;
    emit stateChanged(value);
}

void Process::processError(QProcess::ProcessError err)
{
    LOG_TRACE;
    auto* source = qobject_cast<QProcess*>(sender());
    if (!source)
        source = process;
    LOG_DEBUG << "[Process] error: " << int(err) << " ("
              << (source ? source->errorString() : QString()) << ")";
    if (source) {
        // Forgotten here, but it may still report its end (a crash gives
        // error and finished): released once its delivery is over.
        source->deleteLater();
    }
    if (source == process)
        process = nullptr;
    stop();
    setState(StateIdle);
    lastError = ErrorFailed;
    emit error(ErrorFailed);
}

void Process::processStarted()
{
    LOG_TRACE;
    auto* source = qobject_cast<QProcess*>(sender());
    if (!source)
        source = process;
    if (source)
        pid = utils::pid2Int(source->processId());
    setState(StateRunning);
}

void Process::processFinished(int exitCode, QProcess::ExitStatus exitStatus)
{
    LOG_TRACE;
    if (exitCode != 0 || exitStatus != QProcess::NormalExit) {
        LOG_ERROR << "Process exitCode: " << exitCode << ", exitStatus: " << int(exitStatus);
        lastError = ErrorFailed;
        emit error(ErrorFailed);
    }
    setState(StateIdle);
    QTimer::singleShot(ZombieDelayMs, this, &Process::processZombie);
}

void Process::processZombie()
{
    LOG_TRACE;
    LOG_DEBUG << "[Process] zombie path: " << path << ", args: " << args;
    setState(StateZombie);
}

} // namespace ORVO
