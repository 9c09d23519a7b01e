#include "libabout/about.h"

const char* LibVelcorOrganization = "Corvane";
