#pragma once

#include <QString>

namespace libvelcor {
class Logger;
}

namespace ORVO {

// Steps of the start-up road that own something or can fail, each saying
// what failed and which path.

// Sets the file log's path and opens it, and limits Qt's messages from
// then on (common/loglimit.h); on failure returns -1 and why names the
// step, the path and the reason.
int openFileLog(libvelcor::Logger& logger, const QString& path, QString& why);

// The brand resource bundle, mounted for the object's life: registered on
// construction (an ERROR line when that fails), unregistered on
// destruction.
class BrandBundle
{
public:
    BrandBundle(const QString& file, const QString& root);
    ~BrandBundle();
    BrandBundle(const BrandBundle&) = delete;
    BrandBundle& operator=(const BrandBundle&) = delete;

    bool isRegistered() const { return registered; }

private:
    QString file;
    QString root;
    bool registered = false;
};

} // namespace ORVO
