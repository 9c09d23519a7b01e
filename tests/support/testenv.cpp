#include "testenv.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>

#include "common/common.h"

namespace orvotest {

TestEnv::TestEnv()
    : oldData(qgetenv("XDG_DATA_HOME")), oldConfig(qgetenv("XDG_CONFIG_HOME")),
      oldHome(qgetenv("HOME"))
{
    QCoreApplication::setOrganizationName(ORVO::org());
    QCoreApplication::setApplicationName(QStringLiteral("BastivaConnectApp"));
    QDir().mkpath(dir.path() + QStringLiteral("/data"));
    QDir().mkpath(configDir());
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path() + QStringLiteral("/data")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configDir()));
    qputenv("HOME", QFile::encodeName(dir.path()));
    // QSettings caches its paths on first use; set them explicitly.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configDir());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, configDir());
}

TestEnv::~TestEnv()
{
    auto restore = [](const char* name, const QByteArray& value) {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    };
    restore("XDG_DATA_HOME", oldData);
    restore("XDG_CONFIG_HOME", oldConfig);
    restore("HOME", oldHome);
}

QString TestEnv::dataDir() const
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size())
        return false;
    return file.commit();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

void clearQuitRequest()
{
    QTimer::singleShot(0, QCoreApplication::instance(), [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

NoFreeDescriptors::NoFreeDescriptors()
{
    if (::getrlimit(RLIMIT_NOFILE, &before) != 0)
        return;
    const int lowestFree = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (lowestFree < 0)
        return;
    ::close(lowestFree);
    rlimit none = before;
    none.rlim_cur = rlim_t(lowestFree);
    held = ::setrlimit(RLIMIT_NOFILE, &none) == 0;
}

void NoFreeDescriptors::release()
{
    if (held)
        ::setrlimit(RLIMIT_NOFILE, &before);
    held = false;
}

} // namespace orvotest
