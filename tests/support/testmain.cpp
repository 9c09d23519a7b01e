#include "testmain.h"

#include "ORVO/common.h"

namespace orvotest {

void initTestProcess()
{
    ORVO::registerMetaTypes();
}

} // namespace orvotest
