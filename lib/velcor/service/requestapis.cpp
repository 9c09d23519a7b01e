// The request-only API objects: each call becomes one request to the
// service, and its result comes back as a signal from the event loop.
#include <QJsonObject>
#include <QPointer>
#include <QTimer>

#include "libvelcor/authapi.h"
#include "libvelcor/cloudapi.h"
#include "libvelcor/configapi.h"
#include "libvelcor/setupapi.h"

#include "protocol.h"
#include "serviceconnection.h"
#include "vlog.h"

namespace libvelcor {

AuthApi::AuthApi(QObject* parent) : Api(parent) {}

void AuthApi::authSupply(libvelcor::Auth auth)
{
    VLOG_TRACE << "[Service] auth: " << protocol::maskedAuth(auth);
    QJsonObject body;
    body.insert(QStringLiteral("auth"), protocol::authToJson(auth));
    // The profile's credential belongs to the sign-in under way: like the
    // "start" that follows it, it is never held for a service that appears
    // later. The proxy's is a setting of the user's: it waits for the
    // service, and every later session of the service gets it too.
    const bool hold = auth.getId() != libvelcor::Auth::ProfileId;
    const QString rememberAs =
        auth.getId() == libvelcor::Auth::ProxyId ? QStringLiteral("auth.proxy") : QString();
    const int credential = ++credentials;
    connection()->request(
        QStringLiteral("auth"), body, this,
        [this, credential](int rc, const QJsonObject&) {
            // A receiver of the first may delete this object.
            const QPointer<AuthApi> self(this);
            emit authSent(ResultCode(rc));
            if (self)
                emit credentialSent(credential, ResultCode(rc));
        },
        hold, rememberAs);
}

SetupApi::SetupApi(QObject* parent) : Api(parent) {}

namespace {

bool validPort(int port)
{
    return port > 0 && port <= 65535;
}

} // namespace

void SetupApi::portSupply(int port)
{
    if (!validPort(port)) {
        VLOG_ERROR << "Request server port out of range: " << port;
        QTimer::singleShot(0, this, [this]() { emit portSent(ResultInvalid); });
        return;
    }
    QJsonObject body;
    body.insert(QStringLiteral("port"), port);
    connection()->request(
        QStringLiteral("setup.port"), body, this,
        [this](int rc, const QJsonObject&) { emit portSent(ResultCode(rc)); }, true,
        QStringLiteral("setup.port"));
}

void SetupApi::logPortSupply(int port)
{
    if (!validPort(port)) {
        VLOG_ERROR << "Log port out of range: " << port;
        QTimer::singleShot(0, this, [this]() { emit logPortSent(ResultInvalid); });
        return;
    }
    QJsonObject body;
    body.insert(QStringLiteral("port"), port);
    connection()->request(
        QStringLiteral("setup.logPort"), body, this,
        [this](int rc, const QJsonObject&) { emit logPortSent(ResultCode(rc)); }, true,
        QStringLiteral("setup.logPort"));
}

void SetupApi::configRetrieve()
{
    connection()->request(QStringLiteral("setup.configRetrieve"), QJsonObject(), this,
                          [this](int rc, const QJsonObject& reply) {
                              QVariant config;
                              if (rc == ResultOk)
                                  config =
                                      protocol::jsonToVariant(reply.value(QLatin1String("config")));
                              emit configReceived(ResultCode(rc), config);
                          });
}

CloudApi::CloudApi(QObject* parent) : Api(parent) {}

void CloudApi::actionRequest(QString action, libvelcor::Params params)
{
    VLOG_TRACE << "[Service] action: " << action;
    QJsonObject body;
    body.insert(QStringLiteral("action"), action);
    body.insert(QStringLiteral("params"), protocol::paramsToJson(params));
    connection()->request(
        QStringLiteral("cloud.action"), body, this,
        [this, action](int rc, const QJsonObject&) {
            if (rc == ResultNotConnected)
                emit actionNotSent(action, connection()->problem());
        },
        false);
}

ConfigApi::ConfigApi(QObject* parent) : Api(parent) {}

void ConfigApi::configSupply(QVariant config)
{
    supply(config, QString());
}

void ConfigApi::settingSupply(QString name, QVariant config)
{
    supply(config, QStringLiteral("config.") + name);
}

void ConfigApi::supply(const QVariant& config, const QString& rememberAs)
{
    if (config.type() != QVariant::Map) {
        VLOG_ERROR << "Configuration fragment is not a map: " << config.typeName();
        return;
    }
    QJsonObject body;
    body.insert(QStringLiteral("config"), protocol::variantToJson(config));
    connection()->request(
        QStringLiteral("config"), body, this, [](int, const QJsonObject&) {}, true, rememberAs);
}

} // namespace libvelcor
