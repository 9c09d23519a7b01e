#pragma once

#include <QVariant>

#include "libvelcor/api.h"

namespace libvelcor {

// Tells the service where the client's request server and log listener
// are, and fetches the service's configuration (for a management-server
// connection, the server record under "server").
class SetupApi : public Api
{
    Q_OBJECT
public:
    explicit SetupApi(QObject* parent = nullptr);

public slots:
    void portSupply(int port);
    void logPortSupply(int port);
    // Answered by configReceived; the configuration is null when the
    // request failed or the service had none.
    void configRetrieve();

signals:
    void portSent(libvelcor::Api::ResultCode rc);
    void logPortSent(libvelcor::Api::ResultCode rc);
    void configReceived(libvelcor::Api::ResultCode rc, QVariant config);
};

} // namespace libvelcor
