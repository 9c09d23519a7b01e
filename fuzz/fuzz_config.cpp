// Fuzzes vtx.json as ORVO::Config reads it: the bundle's template and the
// user's copy (records "@@ template" and "@@ user" of the input; a missing
// record is a missing file) go through the install or upgrade of the user
// copy, the load and the dump.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QNetworkProxy>
#include <QStandardPaths>

#include <cstdint>

#include "common/common.h"
#include "common/config.h"
#include "fuzzkit.h"
#include "libvelcor/json.h"

using fuzzkit::check;

namespace {

QString g_appDir;
QString g_templatePath;
QString g_userPath;
QString g_dataDir;

// Every "pass" member at any depth is masked or null.
bool masked(const QVariant& value)
{
    if (value.type() == QVariant::Map) {
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            if (it.key() == QLatin1String("pass") && !it.value().isNull()) {
                if (it.value() != QVariant(QStringLiteral("********")))
                    return false;
            } else if (!masked(it.value())) {
                return false;
            }
        }
    } else if (value.type() == QVariant::List) {
        for (const QVariant& item : value.toList())
            if (!masked(item))
                return false;
    }
    return true;
}

void writeOrRemove(const QString& path, const QByteArray* bytes)
{
    QFile::remove(path);
    if (!bytes)
        return;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        fuzzkit::fail("cannot write an input file");
    file.write(*bytes);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzzkit::init(argc, argv);
    QCoreApplication::setOrganizationName(ORVO::org());
    QCoreApplication::setApplicationName(QLatin1String(ORVO::ApplicationId));
    g_appDir = fuzzkit::root() + QStringLiteral("/bundle/bin");
    g_templatePath = fuzzkit::root() + QStringLiteral("/bundle/Resources/etc/vtx.json");
    QDir().mkpath(g_appDir);
    QDir().mkpath(fuzzkit::root() + QStringLiteral("/bundle/Resources/etc"));
    g_dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    g_userPath = g_dataDir + QStringLiteral("/vtx.json");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const fuzzkit::Framed input = fuzzkit::unframe(data, size);
    const QByteArray* templ = nullptr;
    const QByteArray* user = nullptr;
    for (const fuzzkit::Record& r : input.records) {
        if (r.kind != fuzzkit::Record::File)
            continue;
        if (r.name == QLatin1String("template"))
            templ = &r.data;
        else if (r.name == QLatin1String("user"))
            user = &r.data;
    }
    fuzzkit::resetDir(g_dataDir);
    writeOrRemove(g_templatePath, templ);
    writeOrRemove(g_userPath, user);
    QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::NoProxy));

    {
        ORVO::Config cfg(g_appDir);
        // The user copy is the one it was or the template, whole (a template
        // that does not parse is never installed); a replaced copy is kept
        // beside it; no temporary file stays behind.
        const bool exists = QFile::exists(g_userPath);
        const QByteArray now = fuzzkit::readAll(g_userPath);
        check((user && exists && now == *user) || (templ && exists && now == *templ) ||
                  (!user && !exists),
              "user copy is neither the old one nor the template");
        if (user && now != *user)
            check(fuzzkit::readAll(g_userPath + QStringLiteral(".old")) == *user,
                  "replaced user copy not kept");
        check(fuzzkit::listTree(g_dataDir).filter(QStringLiteral("tmp")).isEmpty(),
              "temporary copy left behind");

        if (cfg.valid && cfg.loadFromFile() == 0) {
            check(cfg.logLevel >= 0 && cfg.logLevel <= 7, "log level out of range");
            // The dump is for the log: passwords masked.
            const QString dump = cfg.dump();
            const int body =
                dump.indexOf(QLatin1Char('\n'), dump.indexOf(QLatin1String("proxy type=")));
            bool ok = false;
            const QVariant shown = libvelcor::json::parse(dump.mid(body + 1), ok);
            check(!ok || masked(shown), "password in the dump");
        }
    }
    QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::NoProxy));
    return 0;
}
