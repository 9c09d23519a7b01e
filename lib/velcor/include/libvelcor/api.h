#pragma once

#include <QMetaType>
#include <QObject>
#include <QSharedPointer>
#include <QString>

namespace libvelcor {

namespace detail {
class ServiceConnection;
}

// Base of the local service's API objects. All API objects of a process
// share one connection to the service (TCP on a loopback address, one JSON
// object per line; see docs/service-protocol.md). The connection is opened
// by init() or by the first request; requests made before the service has
// answered are held and sent once it has (service verbs and the profile's
// credential excepted, see CloudApi and AuthApi). Only a service whose socket
// belongs to this user or to root is dealt with. Every result and every
// service event is delivered from the event loop, in order, never inside the
// call that caused it nor inside the socket's handlers.
class Api : public QObject
{
    Q_OBJECT
public:
    // The result of one request. 0 is success; positive codes come from
    // the service, negative ones are made by the library.
    // Fixed to int, so any code of the service is a valid value.
    enum ResultCode : int {
        ResultOk = 0,
        ResultFailed = 1,        // the service could not carry out the request
        ResultRefused = 2,       // the service refused a value of the request
        ResultUnknown = 3,       // the service does not know the request
        ResultNotConnected = -1, // no usable service address
        ResultDisconnected = -2, // the connection was lost before the answer
        ResultTimeout = -3,      // no answer in time
        ResultBusy = -4,         // too many requests waiting for the service
        ResultInvalid = -5       // the request carried a value that cannot be sent
    };
    Q_ENUM(ResultCode)

    // Code of the errors about the service connection itself (unreachable,
    // lost, not answering, speaking another protocol).
    static constexpr int ConnectionErrorCode = 400;
    // Where the service listens unless VELCOR_SERVICE_ADDR says otherwise
    // ("127.0.0.1:port"; only loopback addresses are taken).
    static constexpr quint16 DefaultServicePort = 4804;
    static constexpr const char* ServiceAddrVariable = "VELCOR_SERVICE_ADDR";

    ~Api() override;

    // Opens the shared connection to the service when it is not open yet.
    // 0 on success, -1 when the service address is refused (an error
    // follows on the status API).
    int init();

    // Why the service could not be reached, after a failure; empty once it
    // has been reached again.
    QString problem() const;

    // Tuning for tests; they apply to connections opened afterwards.
    // Defaults: 30000 ms, reconnection after 500 ms doubling up to 10000 ms.
    static void setRequestTimeout(int ms);
    static void setReconnectDelays(int firstMs, int maxMs);

protected:
    explicit Api(QObject* parent);
    detail::ServiceConnection* connection() const { return conn.data(); }

private:
    QSharedPointer<detail::ServiceConnection> conn;
};

} // namespace libvelcor

Q_DECLARE_METATYPE(libvelcor::Api::ResultCode)
