#pragma once

#include <QMetaType>
#include <QString>

namespace libvelcor {

// An error of the local service or of a web request: a code, a description
// and extra text.
class Error
{
public:
    typedef int Code;
    // The code of an error built from a description alone.
    static constexpr Code GenericCode = 1;

    Error() = default;
    Error(Code code, const QString& desc, const QString& extra = QString())
        : code(code), desc(desc), extra(extra)
    {
    }
    explicit Error(const QString& desc) : code(GenericCode), desc(desc) {}

    Code getCode() const { return code; }
    QString getDesc() const { return desc; }
    QString getExtra() const { return extra; }

    bool operator==(const Error& o) const
    {
        return code == o.code && desc == o.desc && extra == o.extra;
    }

private:
    Code code = 0;
    QString desc;
    QString extra;
};

} // namespace libvelcor

Q_DECLARE_METATYPE(libvelcor::Error)
