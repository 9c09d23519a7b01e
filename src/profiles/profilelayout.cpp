#include "profiles/profilelayout.h"

#include <libvelcor/utils.h>

#include "profiles/profilefs.h"

namespace ORVO {
namespace profilelayout {

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
