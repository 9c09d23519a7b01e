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

    // The number of the credential handed over last (1, 2, ... in the order
    // of authSupply calls; 0 before the first). Its result comes with that
    // number in credentialSent, so a caller can tell which one it is.
    int lastCredential() const { return credentials; }

public slots:
    void authSupply(libvelcor::Auth auth);

signals:
    void authSent(libvelcor::Api::ResultCode rc);
    // The same result, after authSent, with the credential's number.
    void credentialSent(int credential, libvelcor::Api::ResultCode rc);

private:
    int credentials = 0;
};

} // namespace libvelcor
