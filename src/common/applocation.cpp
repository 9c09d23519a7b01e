#include "common/applocation.h"

#include <QStringList>

namespace ORVO {
namespace applocation {

const char ActionsGroup[] = "Actions";

QString serverGroup(const QUuid& serverId)
{
    return QStringLiteral("ls_") + serverId.toString(QUuid::WithoutBraces);
}

int parse(const QString& value, Entry& entry)
{
    const QStringList fields = value.split(QLatin1Char(Separator), Qt::KeepEmptyParts);
    if (fields.size() != 3)
        return -1;
    entry.remark = fields.at(0);
    entry.path = fields.at(1);
    entry.custom = fields.at(2);
    return 0;
}

bool fieldAllowed(const QString& field)
{
    return !field.contains(QLatin1Char(Separator));
}

int compose(const Entry& entry, QString& value)
{
    if (!fieldAllowed(entry.remark) || !fieldAllowed(entry.path) || !fieldAllowed(entry.custom))
        return -1;
    const QLatin1Char sep(Separator);
    value = entry.remark + sep + entry.path + sep + entry.custom;
    return 0;
}

} // namespace applocation
} // namespace ORVO
