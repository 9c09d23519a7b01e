#include "libvelcor/loglevel.h"
#include "libvelcor/params.h"
#include "libvelcor/state.h"

int g_libvelcorLogLev = 7;

namespace libvelcor {

QString paramsFind(const Params& params, const QString& name)
{
    for (const auto& p : params) {
        if (p.first == name)
            return p.second;
    }
    return QString();
}

QString stateToString(State state)
{
    switch (state) {
    case StateIdle:
        return QStringLiteral("Idle");
    case StateError:
        return QStringLiteral("Error");
    case StateConnecting:
        return QStringLiteral("Connecting");
    case StateReconnecting:
        return QStringLiteral("Reconnecting");
    case StateConnected:
        return QStringLiteral("Connected");
    }
    return QStringLiteral("Unknown");
}

} // namespace libvelcor
