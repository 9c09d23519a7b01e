#include "libvelcor/statusapi.h"

#include <QJsonDocument>
#include <QJsonObject>

#include "serviceconnection.h"
#include "vlog.h"

namespace libvelcor {

StatusApi::StatusApi(QObject* parent) : Api(parent)
{
    detail::ServiceConnection* c = connection();
    connect(c, &detail::ServiceConnection::serviceEvent, this, &StatusApi::_serviceEvent);
    connect(c, &detail::ServiceConnection::connectionError, this, &StatusApi::error);
    connect(c, &detail::ServiceConnection::connectionLost, this, &StatusApi::_connectionLost);
}

int StatusApi::start(int interval)
{
    if (interval < 100 || interval > 60000) {
        VLOG_ERROR << "Status interval out of range: " << interval;
        return -1;
    }
    QJsonObject body;
    body.insert(QStringLiteral("interval"), interval);
    connection()->request(QStringLiteral("status.start"), body, this,
                          [](int, const QJsonObject&) {});
    return 0;
}

namespace {

bool intValue(const QJsonObject& m, const char* name, int& out)
{
    const QJsonValue v = m.value(QLatin1String(name));
    const double d = v.toDouble();
    // The range first: converting a double that int cannot hold is undefined.
    if (!v.isDouble() || !(d >= -2147483648.0 && d <= 2147483647.0) || d != double(int(d)))
        return false;
    out = int(d);
    return true;
}

} // namespace

void StatusApi::_serviceEvent(const QString& type, const QJsonObject& m)
{
    if (type == QLatin1String("settings")) {
        VLOG_DEBUG << "[Service] settings: "
                   << QJsonDocument(m.value(QLatin1String("settings")).toObject())
                          .toJson(QJsonDocument::Compact);
        emit gotSettings();
    } else if (type == QLatin1String("state")) {
        int st = -1;
        if (!intValue(m, "state", st) || st < StateIdle || st > StateConnected) {
            VLOG_ERROR << "Invalid state from the local service";
            return;
        }
        lastState = st;
        emit apiState(State(st));
    } else if (type == QLatin1String("progress")) {
        int step = 0;
        int total = 0;
        const QJsonValue desc = m.value(QLatin1String("desc"));
        if (!intValue(m, "step", step) || !intValue(m, "total", total) ||
            !(desc.isString() || desc.isUndefined())) {
            VLOG_ERROR << "Invalid progress from the local service";
            return;
        }
        emit apiProgress(Progress(step, total, desc.toString()));
    } else if (type == QLatin1String("fallback")) {
        const QJsonValue v = m.value(QLatin1String("fallback"));
        if (!v.isBool()) {
            VLOG_ERROR << "Invalid fallback flag from the local service";
            return;
        }
        emit apiFallback(v.toBool());
    } else if (type == QLatin1String("need")) {
        const QJsonValue v = m.value(QLatin1String("need"));
        if (!v.isString()) {
            VLOG_ERROR << "Invalid need from the local service";
            return;
        }
        emit apiNeed(v.toString());
    } else if (type == QLatin1String("error")) {
        int code = 0;
        const QJsonValue desc = m.value(QLatin1String("desc"));
        const QJsonValue extra = m.value(QLatin1String("extra"));
        if (!intValue(m, "code", code) || !(desc.isString() || desc.isUndefined()) ||
            !(extra.isString() || extra.isUndefined())) {
            VLOG_ERROR << "Invalid error from the local service";
            return;
        }
        emit error(Error(code, desc.toString(), extra.toString()));
    }
}

void StatusApi::_connectionLost()
{
    // The tunnel's state is unknown once the service is gone; do not leave
    // the receivers believing the last report.
    if (lastState != -1 && lastState != StateError && lastState != StateIdle) {
        lastState = StateError;
        emit apiState(StateError);
    }
}

} // namespace libvelcor
