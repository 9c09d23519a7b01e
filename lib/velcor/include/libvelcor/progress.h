#pragma once

#include <QMetaType>
#include <QString>

namespace libvelcor {

// Progress of a connection being set up: step of total, with a description.
class Progress
{
public:
    Progress() = default;
    Progress(int step, int total, const QString& desc) : step(step), total(total), desc(desc) {}

    int getStep() const { return step; }
    int getTotal() const { return total; }
    QString getDesc() const { return desc; }

    bool operator==(const Progress& o) const
    {
        return step == o.step && total == o.total && desc == o.desc;
    }

private:
    int step = 0;
    int total = 0;
    QString desc;
};

} // namespace libvelcor

Q_DECLARE_METATYPE(libvelcor::Progress)
