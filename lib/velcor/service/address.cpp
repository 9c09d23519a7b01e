#include "address.h"

#include "libvelcor/api.h"

namespace libvelcor {
namespace detail {

bool parseLoopbackAddress(const QString& text, QHostAddress& host, quint16& port, QString& error)
{
    const QString t = text.trimmed();
    QString hostText;
    QString portText;
    if (t.startsWith(QLatin1Char('['))) {
        const int close = t.indexOf(QLatin1String("]:"));
        if (close < 0) {
            error = QStringLiteral("expected [address]:port");
            return false;
        }
        hostText = t.mid(1, close - 1);
        portText = t.mid(close + 2);
    } else {
        const int colon = t.lastIndexOf(QLatin1Char(':'));
        if (colon < 0 || t.indexOf(QLatin1Char(':')) != colon) {
            error = QStringLiteral("expected address:port");
            return false;
        }
        hostText = t.left(colon);
        portText = t.mid(colon + 1);
    }
    bool ok = !portText.isEmpty() && portText.size() <= 5;
    for (const QChar c : portText)
        ok = ok && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    const uint p = ok ? portText.toUInt(&ok, 10) : 0;
    if (!ok || p == 0 || p > 65535) {
        error = QStringLiteral("invalid port \"%1\"").arg(portText);
        return false;
    }
    QHostAddress h;
    if (hostText.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        h = QHostAddress(QHostAddress::LocalHost);
    else if (!h.setAddress(hostText)) {
        error = QStringLiteral("\"%1\" is not an IP address").arg(hostText);
        return false;
    }
    if (!h.isLoopback()) {
        error = QStringLiteral("%1 is not a loopback address").arg(hostText);
        return false;
    }
    host = h;
    port = quint16(p);
    return true;
}

QString serviceAddressText()
{
    const QByteArray env = qgetenv(Api::ServiceAddrVariable);
    if (!env.isEmpty())
        return QString::fromLocal8Bit(env);
    return QStringLiteral("127.0.0.1:%1").arg(Api::DefaultServicePort);
}

} // namespace detail
} // namespace libvelcor
