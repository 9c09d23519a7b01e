#pragma once

#include <QString>

#include "libvelcor/api.h"
#include "libvelcor/error.h"
#include "libvelcor/progress.h"
#include "libvelcor/state.h"

class QJsonObject;

namespace libvelcor {

// The service's settings, state, progress, fallback flag, needs and
// errors. gotSettings() follows every (re)connection to the service; the
// other reports begin once start() has been called.
class StatusApi : public Api
{
    Q_OBJECT
public:
    explicit StatusApi(QObject* parent = nullptr);

    // Asks the service for its status reports; interval (ms, 100 to 60000)
    // paces the service's keep-alive lines. 0 when asked, -1 for an interval
    // out of range.
    int start(int interval);

signals:
    void gotSettings();
    void apiState(libvelcor::State state);
    // Service errors, and errors about the connection to the service
    // (code Api::ConnectionErrorCode).
    void error(libvelcor::Error error);
    void apiProgress(libvelcor::Progress progress);
    void apiFallback(bool isFallback);
    void apiNeed(QString need);

private:
    void _serviceEvent(const QString& type, const QJsonObject& message);
    void _connectionLost();

    // Last state reported to this object's receivers; -1 before any.
    int lastState = -1;
};

} // namespace libvelcor
