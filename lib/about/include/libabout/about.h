#pragma once

// Identity of the vendor that ships the client and its local service. The
// organisation name names the settings store and the per-user data location.
extern const char* LibVelcorOrganization;
