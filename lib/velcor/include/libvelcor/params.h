#pragma once

#include <QList>
#include <QMetaType>
#include <QPair>
#include <QString>

namespace libvelcor {

// Ordered name and value pairs of a service request.
typedef QList<QPair<QString, QString>> Params;

// The value of the first pair with that name; a null string when absent.
QString paramsFind(const Params& params, const QString& name);

} // namespace libvelcor
