#pragma once

#include "libvelcor/api.h"
#include "libvelcor/auth.h"

namespace libvelcor {

// Hands credentials (the profile's and the proxy's) to the service. The
// profile's credential is not held while the service cannot be reached: it
// ends with ResultNotConnected, as a sign-in's "start" does (see CloudApi).
class AuthApi : public Api
{
    Q_OBJECT
public:
    explicit AuthApi(QObject* parent = nullptr);

public slots:
    void authSupply(libvelcor::Auth auth);

signals:
    void authSent(libvelcor::Api::ResultCode rc);
};

} // namespace libvelcor
