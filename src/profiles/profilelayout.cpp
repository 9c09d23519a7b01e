#include "profiles/profilelayout.h"

#include <algorithm>
#include <cerrno>

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
    // The first failure's errno is the one the caller reads.
    int failure = 0;
    auto fail = [&failure]() {
        if (failure == 0)
            failure = errno != 0 ? errno : EIO;
    };
    const QString old = dir + OldSuffix;
    if (profilefs::entryExists(old)) {
        if (!profilefs::entryExists(dir)) {
            if (profilefs::moveEntry(old, dir) != 0)
                fail();
        } else if (profilefs::removeTree(old) != 0) {
            fail();
        }
    }
    const QString tmp = dir + TmpSuffix;
    if (profilefs::removeTree(tmp) != 0)
        fail();
    errno = failure;
    return failure == 0 ? 0 : -1;
}

} // namespace profilelayout
} // namespace ORVO
