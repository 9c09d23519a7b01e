#include "plugin/config/settingsdialog.h"
