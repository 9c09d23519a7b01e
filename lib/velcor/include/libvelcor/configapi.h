#pragma once

#include <QVariant>

#include "libvelcor/api.h"

namespace libvelcor {

// Carries configuration fragments; the service merges each into the
// configuration it holds (nested maps key by key, other values replaced).
class ConfigApi : public Api
{
    Q_OBJECT
public:
    explicit ConfigApi(QObject* parent = nullptr);

public slots:
    // A fragment that is not a map is refused with an error line.
    void configSupply(QVariant config);
};

} // namespace libvelcor
