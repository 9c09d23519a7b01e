// Fuzzes a profile directory as ConnProfiles::load reads it: the input's
// records ("@@ <path>" files, "@> <path> <target>" links) are written below
// the profiles root, config.json, openvpn.conf, the rename-cycle journal
// and leftovers of an interrupted save alike. What loads then goes through
// a round of renames (a swap, which is a cycle, and a plain rename), a
// removal and a save, and is loaded again.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QStandardPaths>

#include <cstdint>
#include <memory>

#include "common/common.h"
#include "fuzzkit.h"
#include "profiles/connprofiles.h"

using fuzzkit::check;
using ORVO::ConnProfile;
using ORVO::ConnProfiles;

namespace {

QString g_dataDir;
QString g_profilesDir;
QString g_canary;
const QByteArray CanaryText = "not the store's\n";

typedef std::map<QString, std::unique_ptr<ConnProfile>> Copies;

Copies copiesOf(const ConnProfiles& store)
{
    Copies out;
    for (const QString& id : store.ids()) {
        ConnProfile* p = store.get(id);
        check(p && p->getId() == id, "store lists a profile it cannot give");
        out[id].reset(new ConnProfile(*p));
    }
    return out;
}

bool sameAs(const Copies& copies, const QString& id, const ConnProfile& p)
{
    const auto it = copies.find(id);
    return it != copies.end() && *it->second == p;
}

// Nothing outside the profiles root is touched.
void checkSandbox()
{
    check(fuzzkit::readAll(g_canary) == CanaryText, "a file outside the profiles root changed");
    const QStringList top =
        QDir(g_dataDir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    check(top == QStringList({QStringLiteral("outside"), QStringLiteral("profiles")}),
          "an entry appeared beside the profiles root");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzzkit::init(argc, argv);
    QCoreApplication::setOrganizationName(ORVO::org());
    QCoreApplication::setApplicationName(QLatin1String(ORVO::ApplicationId));
    ORVO::registerMetaTypes();
    g_dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    g_profilesDir = g_dataDir + QStringLiteral("/profiles");
    g_canary = g_dataDir + QStringLiteral("/outside/canary");
    QDir().mkpath(g_dataDir + QStringLiteral("/outside"));
    QFile canary(g_canary);
    if (!canary.open(QIODevice::WriteOnly) || canary.write(CanaryText) != CanaryText.size())
        fuzzkit::fail("no canary");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const fuzzkit::Framed input = fuzzkit::unframe(data, size);
    fuzzkit::resetDir(g_profilesDir);
    fuzzkit::materialize(g_profilesDir, input.records);

    Copies before;
    Copies after;
    QStringList afterIds;
    int saved = -1;
    {
        ConnProfiles store;
        check(store.load() == 0, "load failed");
        checkSandbox();
        for (const QString& id : store.ids())
            check(ConnProfile::checkId(id) == 0, "loaded an invalid id");
        before = copiesOf(store);

        // A swap of the first two ids goes through a free id and forms a
        // cycle of renames; the third gets a new id, the fourth goes.
        const QStringList ids = store.ids();
        if (ids.size() >= 2) {
            const QString spare = QStringLiteral("fuzz swap");
            if (!ids.contains(spare) && store.rename(ids[0], spare) == 0 &&
                store.rename(ids[1], ids[0]) == 0)
                store.rename(spare, ids[1]);
        }
        if (ids.size() >= 3)
            store.rename(ids[2], ids[2] + QStringLiteral("-renamed"));
        if (ids.size() >= 4)
            store.remove(ids[3]);

        QString failedId;
        saved = store.save(failedId);
        checkSandbox();
        after = copiesOf(store);
        afterIds = store.ids();
    }

    ConnProfiles again;
    check(again.load() == 0, "reload failed");
    checkSandbox();
    if (saved == 0) {
        // A save that succeeded is what loads again, in full.
        check(again.ids() == afterIds, "saved profiles do not load again");
        for (const QString& id : afterIds)
            check(sameAs(after, id, *again.get(id)), "a saved profile loads differently");
    } else {
        // A failed save leaves each profile as it was or as it was to be.
        for (const QString& id : again.ids()) {
            const ConnProfile& p = *again.get(id);
            check(sameAs(before, id, p) || sameAs(after, id, p),
                  "a failed save left a profile torn");
        }
    }
    return 0;
}
