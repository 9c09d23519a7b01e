#pragma once

#include <QString>

#include "libvelcor/api.h"
#include "libvelcor/params.h"

namespace libvelcor {

// Carries the service verbs ("start", "stop", "syncRoutes", ...).
class CloudApi : public Api
{
    Q_OBJECT
public:
    explicit CloudApi(QObject* parent = nullptr);

public slots:
    void actionRequest(QString action, libvelcor::Params params);
};

} // namespace libvelcor
