// Fuzzes the client side of the service protocol: whatever the local
// service sends (settings, events, answers to the requests of every API
// object, the configuration reply) reaches the API objects through the
// shared connection, here over a wire instead of a socket. The first byte
// chooses the read size.
#include <QJsonObject>
#include <QSet>
#include <QVariant>

#include <cstdint>

#include "fuzzkit.h"
#include "libvelcor/authapi.h"
#include "libvelcor/cloudapi.h"
#include "libvelcor/configapi.h"
#include "libvelcor/metatypes.h"
#include "libvelcor/setupapi.h"
#include "libvelcor/statusapi.h"
#include "protocol.h"
#include "serviceconnection.h"

using fuzzkit::check;
using namespace libvelcor;
namespace P = libvelcor::protocol;

namespace {

constexpr int Day = 24 * 3600 * 1000;

// What the API objects reported during one run.
struct Seen
{
    int settings = 0;
    int authSent = 0;
    int portSent = 0;
    int logPortSent = 0;
    int configReceived = 0;
    int connectionErrors = 0;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzzkit::init(argc, argv);
    registerMetaTypes();
    // Nothing within a run times out or reconnects: a reconnection would
    // reach for a real service.
    Api::setRequestTimeout(Day);
    Api::setReconnectDelays(Day, Day);
    qputenv(Api::ServiceAddrVariable, "127.0.0.1:9");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const size_t piece = data[0] >= 0xC0 ? size : 1 + data[0] % 64;
    ++data;
    --size;

    Seen seen;
    QList<QByteArray> sent;
    {
        StatusApi status;
        AuthApi auth;
        SetupApi setup;
        CloudApi cloud;
        ConfigApi config;
        QObject::connect(&status, &StatusApi::gotSettings, [&]() { ++seen.settings; });
        QObject::connect(&status, &StatusApi::apiState, [](State st) {
            check(st >= StateIdle && st <= StateConnected, "state out of range");
        });
        QObject::connect(&status, &StatusApi::error, [&](const Error& e) {
            if (e.getCode() == Api::ConnectionErrorCode)
                ++seen.connectionErrors;
        });
        QObject::connect(&auth, &AuthApi::authSent, [&](Api::ResultCode) { ++seen.authSent; });
        QObject::connect(&setup, &SetupApi::portSent, [&](Api::ResultCode) { ++seen.portSent; });
        QObject::connect(&setup, &SetupApi::logPortSent,
                         [&](Api::ResultCode) { ++seen.logPortSent; });
        QObject::connect(
            &setup, &SetupApi::configReceived, [&](Api::ResultCode rc, const QVariant& value) {
                ++seen.configReceived;
                check(rc == Api::ResultOk || value.isNull(), "configuration of a failed request");
                // What a receiver does with it.
                const QVariantMap server = value.toMap().value(QStringLiteral("server")).toMap();
                server.value(QStringLiteral("uuid")).toString();
                server.value(QStringLiteral("available_pages")).toMap();
            });

        QSharedPointer<detail::ServiceConnection> conn = detail::ServiceConnection::acquire();
        conn->attachWire([&](const QByteArray& line) { sent << line; });
        // Held until the service's settings arrive, then sent with the ids
        // 1 to 7 in this order.
        auth.authSupply(Auth(Auth::ProfileId, Auth::UserPassType, QStringLiteral("https://ls"),
                             QStringLiteral("user"), QStringLiteral("secret"), QString()));
        setup.portSupply(4814);
        setup.logPortSupply(4824);
        setup.configRetrieve();
        cloud.actionRequest(QStringLiteral("start"), Params());
        config.configSupply(QVariantMap{{QStringLiteral("log"), QVariantMap()}});
        status.start(1000);

        for (size_t i = 0; i < size; i += piece) {
            const size_t n = std::min(piece, size - i);
            conn->receiveFromWire(reinterpret_cast<const char*>(data + i), qint64(n));
        }
        fuzzkit::drain();
        conn.reset();
    }
    // The connection goes once the last API object has.
    fuzzkit::drain();

    // Every answer reaches its request at most once.
    check(seen.authSent <= 1 && seen.portSent <= 1 && seen.logPortSent <= 1 &&
              seen.configReceived <= 1,
          "a request answered twice");
    check(seen.connectionErrors <= 1, "connection error reported twice");

    // What went out: the hello, then requests with distinct ids.
    check(!sent.isEmpty(), "no hello");
    QSet<qint64> ids;
    for (int i = 0; i < sent.size(); ++i) {
        const QByteArray& line = sent.at(i);
        check(line.endsWith('\n') && line.count('\n') == 1, "request is not one line");
        QJsonObject m;
        QString why;
        check(P::decodeLine(line.constData(), line.size() - 1, m, why), "request does not decode");
        if (i == 0) {
            check(P::messageType(m) == QLatin1String("hello"), "hello not first");
            continue;
        }
        const qint64 id = P::messageId(m);
        check(id > 0 && !ids.contains(id), "request id reused");
        ids.insert(id);
    }
    return 0;
}
