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
    // A standing setting of the user's, not a sign-in's: sent as
    // configSupply sends it, and the last one given under each name goes
    // once to every later session of the service (a restarted service has
    // forgotten it).
    void settingSupply(QString name, QVariant config);

private:
    void supply(const QVariant& config, const QString& rememberAs);
};

} // namespace libvelcor
