#include "libvelcor/vpnconfig.h"

#include <QFile>
#include <QList>
#include <QRegularExpression>
#include <QTextCodec>

#include "libvelcor/utils.h"
#include "textcheck.h"

namespace libvelcor {

using detail::hasBlanks;
using detail::hasControlChars;

namespace {

// Commented directives that keep what OpenVPN's own directives cannot say,
// so that writing and reading a configuration gives back every setting.
const char DisabledFallback[] = "#fallback-remote";
const char FallbackEnabled[] = "#fallback-enabled";
const char UnsetRemote[] = "#unset-remote";

bool isValidPort(int port)
{
    return port > 0 && port <= 65535;
}

bool isProto(int p)
{
    return p == VpnConfig::UdpProto || p == VpnConfig::TcpProto;
}

QString protoWord(VpnConfig::Proto p)
{
    return p == VpnConfig::TcpProto ? QStringLiteral("tcp") : QStringLiteral("udp");
}

bool parseProto(const QString& word, VpnConfig::Proto& out)
{
    // udp, udp4, udp6, tcp, tcp-client, tcp4-client, ...
    if (word.startsWith(QLatin1String("udp"))) {
        out = VpnConfig::UdpProto;
        return true;
    }
    if (word.startsWith(QLatin1String("tcp"))) {
        out = VpnConfig::TcpProto;
        return true;
    }
    return false;
}

// Splits a configuration line into words, honouring double and single quotes
// and backslash escapes inside double quotes.
bool splitWords(const QString& line, QStringList& words)
{
    QString current;
    bool inWord = false;
    QChar quote;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (!quote.isNull()) {
            if (c == quote) {
                quote = QChar();
            } else if (c == QLatin1Char('\\') && quote == QLatin1Char('"') && i + 1 < line.size()) {
                current += line.at(++i);
            } else {
                current += c;
            }
            continue;
        }
        if (c.isSpace()) {
            if (inWord) {
                words << current;
                current.clear();
                inWord = false;
            }
            continue;
        }
        inWord = true;
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            quote = c;
        } else if (c == QLatin1Char('\\') && i + 1 < line.size()) {
            current += line.at(++i);
        } else {
            current += c;
        }
    }
    if (!quote.isNull())
        return false;
    if (inWord)
        words << current;
    return true;
}

QString quoted(const QString& word)
{
    if (!word.isEmpty() && !hasBlanks(word) && !word.contains(QLatin1Char('"')) &&
        !word.contains(QLatin1Char('\\')) && !word.contains(QLatin1Char('\'')) &&
        !word.contains(QLatin1Char('#')) && !word.contains(QLatin1Char(';')))
        return word;
    QString out = word;
    out.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    out.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + out + QLatin1Char('"');
}

struct Remote
{
    QString host;
    int port = -1;
    bool hasProto = false;
    VpnConfig::Proto proto = VpnConfig::UdpProto;
};

bool parseRemote(const QStringList& words, Remote& r, bool allowEmptyHost = false)
{
    if (words.size() < 2 || (words.at(1).isEmpty() && !allowEmptyHost))
        return false;
    r.host = words.at(1);
    if (words.size() > 2) {
        bool ok = false;
        r.port = words.at(2).toInt(&ok);
        if (!ok || !isValidPort(r.port))
            return false;
    }
    if (words.size() > 3) {
        if (!parseProto(words.at(3), r.proto))
            return false;
        r.hasProto = true;
    }
    return true;
}

} // namespace

VpnConfig::VpnConfig() = default;

int VpnConfig::fromFile(const QString& path, bool strict)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    if (file.size() > MaxFileSize)
        return -1;
    const QByteArray bytes = file.read(MaxFileSize + 1);
    if (bytes.size() > MaxFileSize)
        return -1;
    VpnConfig parsed;
    if (parsed.parse(bytes, strict) != 0)
        return -1;
    *this = parsed;
    return 0;
}

int VpnConfig::parse(const QByteArray& bytes, bool strict)
{
    // Binary files are never configurations.
    if (bytes.contains('\0'))
        return -1;
    QTextCodec::ConverterState state;
    const QString text =
        QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    if (state.invalidChars > 0)
        return -1;

    static const QRegularExpression directive(QStringLiteral("^[a-z][a-z0-9-]*$"));
    static const QRegularExpression inlineOpen(QStringLiteral("^<([a-z][a-z0-9-]*)>$"));

    QList<Remote> remotes;
    Remote disabledFallback;
    bool hasDisabledFallback = false;
    bool fallbackMarked = false;
    Remote unsetRemote;
    bool hasUnsetRemote = false;
    bool hasDefaultProto = false;
    Proto defaultProto = UdpProto;
    int defaultPort = DefaultPort;
    QString inlineTag;

    const QStringList lines = text.split(QLatin1Char('\n'));
    for (QString line : lines) {
        line = line.trimmed();
        if (!inlineTag.isEmpty()) {
            // Inline certificates and keys are part of a configuration.
            if (line == QLatin1String("</") + inlineTag + QLatin1Char('>'))
                inlineTag.clear();
            continue;
        }
        if (line.isEmpty())
            continue;
        if (line.startsWith(QLatin1String(DisabledFallback))) {
            QStringList words;
            if (splitWords(line, words) && parseRemote(words, disabledFallback, true))
                hasDisabledFallback = true;
            continue;
        }
        if (line.startsWith(QLatin1String(UnsetRemote))) {
            QStringList words;
            if (splitWords(line, words) && parseRemote(words, unsetRemote, true))
                hasUnsetRemote = true;
            continue;
        }
        if (line == QLatin1String(FallbackEnabled)) {
            fallbackMarked = true;
            continue;
        }
        if (line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1Char(';')))
            continue;
        const QRegularExpressionMatch open = inlineOpen.match(line);
        if (open.hasMatch()) {
            inlineTag = open.captured(1);
            continue;
        }
        QStringList words;
        if (!splitWords(line, words) || words.isEmpty())
            return -1;
        const QString name =
            words.first().startsWith(QLatin1String("--")) ? words.first().mid(2) : words.first();
        if (!directive.match(name).hasMatch()) {
            // PEM blocks, keys and other text are not configuration lines.
            if (strict)
                return -1;
            continue;
        }
        const QString arg = words.size() > 1 ? words.at(1) : QString();
        if (name == QLatin1String("remote")) {
            Remote r;
            if (!parseRemote(words, r))
                return -1;
            remotes << r;
        } else if (name == QLatin1String("proto")) {
            if (!parseProto(arg, defaultProto))
                return -1;
            hasDefaultProto = true;
        } else if (name == QLatin1String("port") || name == QLatin1String("rport")) {
            bool ok = false;
            defaultPort = arg.toInt(&ok);
            if (!ok || !isValidPort(defaultPort))
                return -1;
        } else if (name == QLatin1String("dev")) {
            if (arg.startsWith(QLatin1String("tun")))
                dev = TunDev;
            else if (arg.startsWith(QLatin1String("tap")))
                dev = TapDev;
            else
                return -1;
        } else if (name == QLatin1String("comp-lzo")) {
            compEnabled = arg != QLatin1String("no");
        } else if (name == QLatin1String("compress")) {
            compEnabled = true;
        } else if (name == QLatin1String("ca")) {
            if (arg.isEmpty())
                return -1;
            caPath = arg;
        } else if (name == QLatin1String("pkcs12")) {
            if (arg.isEmpty())
                return -1;
            p12Path = arg;
        }
    }
    if (!inlineTag.isEmpty())
        return -1;
    if (strict && remotes.isEmpty() && !hasUnsetRemote)
        return -1;

    auto apply = [&](const Remote& r, QString& host, int& port, Proto& proto) {
        host = r.host;
        port = r.port > 0 ? r.port : defaultPort;
        proto = r.hasProto ? r.proto : (hasDefaultProto ? defaultProto : UdpProto);
    };
    if (!remotes.isEmpty())
        apply(remotes.at(0), remote, remotePort, remoteProto);
    else if (hasUnsetRemote)
        apply(unsetRemote, remote, remotePort, remoteProto);
    if (remotes.size() > 1) {
        apply(remotes.at(1), fallbackRemote, fallbackRemotePort, fallbackRemoteProto);
        fallbackEnabled = true;
    } else if (hasDisabledFallback) {
        apply(disabledFallback, fallbackRemote, fallbackRemotePort, fallbackRemoteProto);
        fallbackEnabled = fallbackMarked;
    }
    return 0;
}

QByteArray VpnConfig::toText() const
{
    auto remoteLine = [](const QString& host, int port, Proto proto) {
        return QStringLiteral("remote %1 %2 %3").arg(quoted(host)).arg(port).arg(protoWord(proto));
    };
    QStringList lines;
    lines << QStringLiteral("client");
    lines << (dev == TapDev ? QStringLiteral("dev tap") : QStringLiteral("dev tun"));
    // Settings OpenVPN cannot express (a port without a server, a disabled
    // fallback server) are kept in commented directives that only this
    // reader understands.
    if (!remote.isEmpty())
        lines << remoteLine(remote, remotePort, remoteProto);
    else
        lines << QLatin1String(UnsetRemote) + remoteLine(remote, remotePort, remoteProto).mid(6);
    const bool fallbackLive = fallbackEnabled && !remote.isEmpty() && !fallbackRemote.isEmpty();
    if (fallbackLive) {
        lines << remoteLine(fallbackRemote, fallbackRemotePort, fallbackRemoteProto);
    } else {
        lines << QLatin1String(DisabledFallback) +
                     remoteLine(fallbackRemote, fallbackRemotePort, fallbackRemoteProto).mid(6);
        if (fallbackEnabled)
            lines << QLatin1String(FallbackEnabled);
    }
    if (compEnabled)
        lines << QStringLiteral("comp-lzo");
    if (!caPath.isEmpty())
        lines << QStringLiteral("ca ") + quoted(caPath);
    if (!p12Path.isEmpty())
        lines << QStringLiteral("pkcs12 ") + quoted(p12Path);
    return (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
}

int VpnConfig::toFile(const QString& path, QString* error) const
{
    return utils::bytes2File(toText(), path, error) == 0 ? 0 : -1;
}

bool VpnConfig::operator==(const VpnConfig& o) const
{
    return remote == o.remote && remotePort == o.remotePort && remoteProto == o.remoteProto &&
           dev == o.dev && compEnabled == o.compEnabled && fallbackEnabled == o.fallbackEnabled &&
           fallbackRemote == o.fallbackRemote && fallbackRemotePort == o.fallbackRemotePort &&
           fallbackRemoteProto == o.fallbackRemoteProto && caPath == o.caPath &&
           p12Path == o.p12Path;
}

int VpnConfig::setRemote(const QString& value)
{
    if (hasControlChars(value) || hasBlanks(value))
        return -1;
    remote = value;
    return 0;
}

int VpnConfig::setRemotePort(int value)
{
    if (!isValidPort(value))
        return -1;
    remotePort = value;
    return 0;
}

int VpnConfig::setRemoteProto(Proto value)
{
    if (!isProto(value))
        return -1;
    remoteProto = value;
    return 0;
}

int VpnConfig::setDev(Dev value)
{
    if (value != TapDev && value != TunDev)
        return -1;
    dev = value;
    return 0;
}

int VpnConfig::setCompEnabled(bool value)
{
    compEnabled = value;
    return 0;
}

int VpnConfig::setFallbackEnabled(bool value)
{
    fallbackEnabled = value;
    return 0;
}

int VpnConfig::setFallbackRemote(const QString& value)
{
    if (hasControlChars(value) || hasBlanks(value))
        return -1;
    fallbackRemote = value;
    return 0;
}

int VpnConfig::setFallbackRemotePort(int value)
{
    if (!isValidPort(value))
        return -1;
    fallbackRemotePort = value;
    return 0;
}

int VpnConfig::setFallbackRemoteProto(Proto value)
{
    if (!isProto(value))
        return -1;
    fallbackRemoteProto = value;
    return 0;
}

int VpnConfig::setCaPath(const QString& value)
{
    if (hasControlChars(value))
        return -1;
    caPath = value;
    return 0;
}

int VpnConfig::setP12Path(const QString& value)
{
    if (hasControlChars(value))
        return -1;
    p12Path = value;
    return 0;
}

} // namespace libvelcor
