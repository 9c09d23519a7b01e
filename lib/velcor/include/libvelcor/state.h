#pragma once

#include <QMetaType>
#include <QString>

namespace libvelcor {

// Connection state of the local service's tunnel.
enum State : int {
    StateIdle = 0,
    StateError = 1,
    StateConnecting = 2,
    StateReconnecting = 3,
    StateConnected = 4
};

// Display text of a state; any other value gives "Unknown".
QString stateToString(State state);

} // namespace libvelcor

Q_DECLARE_METATYPE(libvelcor::State)
