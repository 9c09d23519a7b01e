#pragma once

#include <QListWidgetItem>
#include <QString>
#include <QStringList>

namespace ORVO {

// The one order in which profile ids are shown to the user, in the login
// form's profile list and in the profile editor's alike, so that a row
// number of one names the same profile in the other: case-insensitive as
// utils::caseInsensitiveLessThan compares, ids equal but for case by their
// code units ("ABC" before "abc"). Not the locale's collation, which
// changes with LANG. A list sorted by utils::caseInsensitiveLessThan with a
// stable sort from ConnProfiles::ids() is in this order too.
bool profileIdLessThan(const QString& a, const QString& b);
QStringList sortedProfileIds(QStringList ids);

// An item of a sorted list widget that places itself by profileIdLessThan
// (QListWidgetItem compares display texts by the locale).
class ProfileListItem : public QListWidgetItem
{
public:
    explicit ProfileListItem(const QString& text);
    bool operator<(const QListWidgetItem& other) const override;
};

} // namespace ORVO
