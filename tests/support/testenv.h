#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <sys/stat.h>

namespace orvotest {

// Gives a test its own per-user locations: data (XDG_DATA_HOME), settings
// (QSettings user scope and XDG_CONFIG_HOME) and HOME point into a temporary
// directory for the object's life, and the organisation and application
// names are the program's. Restores the environment when destroyed.
class TestEnv
{
public:
    TestEnv();
    ~TestEnv();
    TestEnv(const TestEnv&) = delete;
    TestEnv& operator=(const TestEnv&) = delete;

    bool isValid() const { return dir.isValid(); }
    QString root() const { return dir.path(); }
    // The program's data location under this environment.
    QString dataDir() const;
    QString configDir() const { return dir.path() + QStringLiteral("/config"); }

private:
    QTemporaryDir dir;
    QByteArray oldData;
    QByteArray oldConfig;
    QByteArray oldHome;
};

// Sets the process's umask for the object's life: the one before comes
// back however the test ends.
class UmaskGuard
{
public:
    explicit UmaskGuard(mode_t mask) : before(::umask(mask)) {}
    ~UmaskGuard() { ::umask(before); }
    UmaskGuard(const UmaskGuard&) = delete;
    UmaskGuard& operator=(const UmaskGuard&) = delete;

private:
    mode_t before;
};

// While it holds, no file descriptor is free: the soft limit stands at the
// lowest free one, so no socket or file can be opened. release() (or the
// end of the object) gives the limit back. Standard input may be closed.
class NoFreeDescriptors
{
public:
    NoFreeDescriptors();
    ~NoFreeDescriptors() { release(); }
    NoFreeDescriptors(const NoFreeDescriptors&) = delete;
    NoFreeDescriptors& operator=(const NoFreeDescriptors&) = delete;
    bool isValid() const { return held; }
    void release();

private:
    rlimit before{};
    bool held = false;
};

// Writes a file, creating its directory; fails the calling test on error.
bool writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);

// Qt 5 keeps a quit request made while no event loop runs (the tray's
// teardown makes one, as the program quits after it) and then ends every
// loop that starts, a message box's included, at once. Running the
// application's loop once clears it; tests that build the GUI one after
// another call this between them.
void clearQuitRequest();

} // namespace orvotest
