#pragma once

#include <QHostAddress>
#include <QString>

namespace libvelcor {
namespace detail {

// Parses "host:port" (IPv6 as "[::1]:port"). Only loopback hosts are
// taken: the service must never be reached over a network. "localhost" is
// read as 127.0.0.1 without a name lookup. On failure error says why.
bool parseLoopbackAddress(const QString& text, QHostAddress& host, quint16& port, QString& error);

// The service address from the environment, or the loopback default.
QString serviceAddressText();

} // namespace detail
} // namespace libvelcor
