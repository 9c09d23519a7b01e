#include "testmain.h"

#include "common/common.h"
#include "profiles/connprofile.h"

namespace orvotest {

void initTestProcess()
{
    ORVO::registerMetaTypes();
    ORVO::registerProfileMetaTypes();
}

} // namespace orvotest
