#include "plugin/config/configplugin.h"
