#include "libvelcor/crypto.h"

namespace libvelcor {
namespace crypto {

int requestFromAuth(const Auth& auth, QMap<QByteArray, QByteArray>& params,
                    QNetworkRequest& request)
{
    if (auth.getType() != Auth::UserPassType || auth.getUser().isEmpty())
        return -1;
    const QByteArray token =
        (auth.getUser() + QLatin1Char(':') + auth.getPass()).toUtf8().toBase64();
    const QByteArray value = "Basic " + token;
    request.setRawHeader("Authorization", value);
    params.insert("Authorization", value);
    return 0;
}

} // namespace crypto
} // namespace libvelcor
