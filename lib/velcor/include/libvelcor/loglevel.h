#pragma once

// The library's own log level (0 to 7), set by the client with its log
// verbosity.
extern int g_libvelcorLogLev;
