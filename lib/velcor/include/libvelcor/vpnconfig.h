#pragma once

#include <QString>

namespace libvelcor {

// The OpenVPN settings of a profile, read from and written to an OpenVPN
// configuration file.
class VpnConfig
{
public:
    enum Proto : int { UdpProto = 0, TcpProto = 1 };
    enum Dev : int { TapDev = 0, TunDev = 1 };

    static constexpr int DefaultPort = 1194;
    // Larger files are not OpenVPN configurations a user would write.
    static constexpr qint64 MaxFileSize = 1024 * 1024;

    VpnConfig();

    // Reads an OpenVPN configuration file. With strict set, the file must
    // be configuration text: certificates, keys and binary files are
    // refused. On failure the object keeps its previous settings.
    int fromFile(const QString& path, bool strict);
    // Writes the settings as an OpenVPN configuration file, atomically; the
    // reason of a failure in error when given.
    int toFile(const QString& path, QString* error = nullptr) const;
    QByteArray toText() const;

    bool operator==(const VpnConfig& other) const;
    bool operator!=(const VpnConfig& other) const { return !(*this == other); }

    QString getRemote() const { return remote; }
    int getRemotePort() const { return remotePort; }
    Proto getRemoteProto() const { return remoteProto; }
    Dev getDev() const { return dev; }
    bool isCompEnabled() const { return compEnabled; }
    bool isFallbackEnabled() const { return fallbackEnabled; }
    QString getFallbackRemote() const { return fallbackRemote; }
    int getFallbackRemotePort() const { return fallbackRemotePort; }
    Proto getFallbackRemoteProto() const { return fallbackRemoteProto; }
    QString getCaPath() const { return caPath; }
    QString getP12Path() const { return p12Path; }

    // 0 when taken, -1 when refused (out of range, or text with blanks or
    // control characters where OpenVPN takes a single word).
    int setRemote(const QString& value);
    int setRemotePort(int value);
    int setRemoteProto(Proto value);
    int setDev(Dev value);
    int setCompEnabled(bool value);
    int setFallbackEnabled(bool value);
    int setFallbackRemote(const QString& value);
    int setFallbackRemotePort(int value);
    int setFallbackRemoteProto(Proto value);
    int setCaPath(const QString& value);
    int setP12Path(const QString& value);

private:
    int parse(const QByteArray& text, bool strict);

    QString remote;
    int remotePort = DefaultPort;
    Proto remoteProto = UdpProto;
    Dev dev = TunDev;
    bool compEnabled = false;
    bool fallbackEnabled = false;
    QString fallbackRemote;
    int fallbackRemotePort = DefaultPort;
    Proto fallbackRemoteProto = UdpProto;
    QString caPath;
    QString p12Path;
};

} // namespace libvelcor
