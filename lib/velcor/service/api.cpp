#include "libvelcor/api.h"

#include "serviceconnection.h"

namespace libvelcor {

Api::Api(QObject* parent) : QObject(parent), conn(detail::ServiceConnection::acquire())
{
    // Results travel through queued connections too.
    qRegisterMetaType<libvelcor::Api::ResultCode>("libvelcor::Api::ResultCode");
}

Api::~Api() = default;

int Api::init()
{
    return conn->start();
}

QString Api::problem() const
{
    return conn->problem();
}

void Api::setRequestTimeout(int ms)
{
    detail::ServiceConnection::setRequestTimeout(ms);
}

void Api::setReconnectDelays(int firstMs, int maxMs)
{
    detail::ServiceConnection::setReconnectDelays(firstMs, maxMs);
}

} // namespace libvelcor
