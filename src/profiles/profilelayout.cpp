#include "profiles/profilelayout.h"

#include <algorithm>

#include <libvelcor/utils.h>

#include "profiles/profilefs.h"

namespace ORVO {
namespace profilelayout {

QString idOfDir(const QString& name)
{
    return name.section(QLatin1Char('.'), 0, 0);
}

void sortForLoading(QStringList& names)
{
    names.sort();
    std::stable_partition(names.begin(), names.end(), [](const QString& name) {
        return name == idOfDir(name) + ProfileSuffix;
    });
}

int recoverProfileDir(const QString& dir)
{
    int result = 0;
    const QString old = dir + OldSuffix;
    if (profilefs::entryExists(old)) {
        if (!profilefs::entryExists(dir)) {
            if (profilefs::moveEntry(old, dir) != 0)
                result = -1;
        } else if (libvelcor::utils::rmRec(old) != 0) {
            result = -1;
        }
    }
    const QString tmp = dir + TmpSuffix;
    if (profilefs::entryExists(tmp) && libvelcor::utils::rmRec(tmp) != 0)
        result = -1;
    return result;
}

} // namespace profilelayout
} // namespace ORVO
