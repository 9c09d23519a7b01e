#include <QCoreApplication>

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
    // A display text (the tray shows it), in the user's language.
    const char* text = QT_TRANSLATE_NOOP("libvelcor", "Unknown");
    switch (state) {
    case StateIdle:
        text = QT_TRANSLATE_NOOP("libvelcor", "Idle");
        break;
    case StateError:
        text = QT_TRANSLATE_NOOP("libvelcor", "Error");
        break;
    case StateConnecting:
        text = QT_TRANSLATE_NOOP("libvelcor", "Connecting");
        break;
    case StateReconnecting:
        text = QT_TRANSLATE_NOOP("libvelcor", "Reconnecting");
        break;
    case StateConnected:
        text = QT_TRANSLATE_NOOP("libvelcor", "Connected");
        break;
    }
    return QCoreApplication::translate("libvelcor", text);
}

} // namespace libvelcor
