#pragma once

#include <QString>
#include <QUuid>

// The per-server locations of local applications in the settings store.
// The launcher writes one when the user picks the executable of an action;
// the portal's settings dialog lists, edits and removes them.
//
// Group "ls_" + the server's uuid without braces, subgroup "Actions"; one
// key per action name, whose value is remark, default path and custom path
// joined by "|". There is no escaping, so a field may never hold "|".
namespace ORVO {
namespace applocation {

extern const char ActionsGroup[];
constexpr char Separator = '|';

struct Entry
{
    QString remark;
    QString path;
    QString custom;
};

// "ls_" + the uuid's text without braces; the null uuid gives all zeros.
QString serverGroup(const QUuid& serverId);
// 0 and the three fields when value splits into exactly three, -1 (entry
// untouched) otherwise: the fields of such a value cannot be told apart.
int parse(const QString& value, Entry& entry);
// 0 and the stored text, or -1 when a field holds the separator.
int compose(const Entry& entry, QString& value);
bool fieldAllowed(const QString& field);

} // namespace applocation
} // namespace ORVO
