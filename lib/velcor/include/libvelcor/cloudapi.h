#pragma once

#include <QString>

#include "libvelcor/api.h"
#include "libvelcor/params.h"

namespace libvelcor {

// Carries the service verbs ("start", "stop", "syncRoutes", ...). A verb
// belongs to its moment: it is never held for a service that cannot be
// reached, but dropped with actionNotSent.
class CloudApi : public Api
{
    Q_OBJECT
public:
    explicit CloudApi(QObject* parent = nullptr);

signals:
    // The service could not be reached; reason says why.
    void actionNotSent(QString action, QString reason);

public slots:
    void actionRequest(QString action, libvelcor::Params params);
};

} // namespace libvelcor
