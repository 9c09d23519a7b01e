#include "main/startupsteps.h"

#include <QFileInfo>
#include <QResource>

#include "common/log.h"
#include "common/loglimit.h"
#include "libvelcor/logger.h"

namespace ORVO {

int openFileLog(libvelcor::Logger& logger, const QString& path, QString& why)
{
    if (logger.setPath(path) != 0) {
        why = QStringLiteral("Cannot use \"") + path + QStringLiteral("\" as the log file: ") +
              logger.errorString();
        return -1;
    }
    if (logger.open() != 0) {
        // The reason names the file or the folder that failed.
        why = logger.errorString();
        if (!why.isEmpty())
            why[0] = why.at(0).toUpper();
        return -1;
    }
    // From now on Qt's and the web engine's messages are limited as the
    // lines of pages are.
    log::limitQtMessages();
    why.clear();
    return 0;
}

BrandBundle::BrandBundle(const QString& file, const QString& root) : file(file), root(root)
{
    registered = QResource::registerResource(file, root);
    if (!registered) {
        const QFileInfo info(file);
        const char* why = !info.exists()       ? "no such file"
                          : !info.isFile()     ? "not a file"
                          : !info.isReadable() ? "cannot be read"
                                               : "not a resource bundle";
        LOG_ERROR << "Error registering brand resources from file gui.rcc"
                  << " (" << file << ": " << why << ")";
    }
}

BrandBundle::~BrandBundle()
{
    // Registration allocates the bundle's tree; without this it stays
    // allocated until the process is gone.
    if (registered)
        QResource::unregisterResource(file, root);
}

} // namespace ORVO
