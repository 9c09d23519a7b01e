#include "gui/editor/profileorder.h"

#include <algorithm>

#include "common/utils.h"

namespace ORVO {

bool profileIdLessThan(const QString& a, const QString& b)
{
    if (utils::caseInsensitiveLessThan(a, b))
        return true;
    if (utils::caseInsensitiveLessThan(b, a))
        return false;
    return a < b;
}

QStringList sortedProfileIds(QStringList ids)
{
    std::sort(ids.begin(), ids.end(), profileIdLessThan);
    return ids;
}

ProfileListItem::ProfileListItem(const QString& text) : QListWidgetItem(text, nullptr, Type) {}

bool ProfileListItem::operator<(const QListWidgetItem& other) const
{
    return profileIdLessThan(text(), other.text());
}

} // namespace ORVO
