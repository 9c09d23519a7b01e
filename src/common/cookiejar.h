#pragma once

#include <QNetworkCookieJar>

class QNetworkAccessManager;

namespace ORVO {

// The program's one cookie jar: owned by the network manager, borrowed by
// the management-server client and the portal pages, so the server's login
// cookies travel with the portal's requests.
class CookieJar : public QNetworkCookieJar
{
    Q_OBJECT
public:
    explicit CookieJar(QObject* parent = nullptr);

    // Drops every cookie, for every borrower at once.
    void reset();
};

// Installs a shared jar on an access manager without giving it away:
// QNetworkAccessManager::setCookieJar makes itself the jar's parent, so the
// jar's previous parent (none for the program's jar) is put back.
void borrowCookieJar(QNetworkAccessManager* manager, QNetworkCookieJar* jar);

} // namespace ORVO
