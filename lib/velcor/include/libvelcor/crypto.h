#pragma once

#include <QByteArray>
#include <QMap>
#include <QNetworkRequest>

#include "libvelcor/auth.h"

namespace libvelcor {
namespace crypto {

// Makes the request carry the credential (HTTP basic authentication for a
// user and password). The header set is also put into params. 0 when the
// request carries the credential, -1 when the credential cannot be carried.
int requestFromAuth(const Auth& auth, QMap<QByteArray, QByteArray>& params,
                    QNetworkRequest& request);

} // namespace crypto
} // namespace libvelcor
