#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

class QUrl;

namespace ORVO {

// The management server sends a page here when its login cookies are not
// (or no longer) accepted.
extern const char* const PortalLoginPath;

// One request to the client: a command word or a built-in application name,
// with its action map.
struct PortalAction
{
    QString name;
    QVariantMap params;
};

// What a navigation of a portal page means.
struct PortalCommand
{
    enum Kind {
        Navigate,  // no command: the page loads the URL
        Immediate, // the actions go out at once
        Delayed    // the actions go out 300 ms later
    };
    Kind kind = Navigate;
    // The navigation reached the login path; independent of kind.
    bool loginPage = false;
    // Device addresses to route through the tunnel, sent at once when set.
    bool hasRoutes = false;
    QStringList routes;
    // In the order in which they are emitted; may be empty for a command.
    QList<PortalAction> actions;
};

// The command that a portal page means by navigating to url. Pure: the
// result depends on url alone.
PortalCommand portalCommand(const QUrl& url);

// The portal writes blanks of some values as "+": every "+" becomes a
// blank, nothing else is decoded.
QString portalDecode(QString value);

} // namespace ORVO
