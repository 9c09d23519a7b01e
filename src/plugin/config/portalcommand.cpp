#include "plugin/config/portalcommand.h"
