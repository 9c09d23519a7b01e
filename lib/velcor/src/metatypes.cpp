#include "libvelcor/metatypes.h"

namespace libvelcor {

void registerMetaTypes()
{
    qRegisterMetaType<libvelcor::Auth>("libvelcor::Auth");
    qRegisterMetaType<libvelcor::Error>("libvelcor::Error");
    qRegisterMetaType<libvelcor::Progress>("libvelcor::Progress");
    qRegisterMetaType<libvelcor::State>("libvelcor::State");
    qRegisterMetaType<libvelcor::Params>("libvelcor::Params");
}

} // namespace libvelcor
