// Fuzzes the replies to downloads: the status, Content-Disposition (the
// file name offered), Content-Length and the body. The input's first line
// names the request ("head", "get", with "-quiet" for a quiet one) and
// gives the rest of the status line ("get 200 OK"); the bytes after it
// follow as they are. A web server stub on 127.0.0.1 sends them and closes
// the connection. The whole input also goes through the file-name parser
// as one header value.
#include <QDir>
#include <QFile>

#include <cstdint>

#include "fuzzkit.h"
#include "httpstub.h"
#include "libvelcor/metatypes.h"
#include "mgr/networkmanager.h"

using fuzzkit::check;
using ORVO::NetworkManager;

namespace {

HttpStub* g_stub = nullptr;
QString g_dir;
QString g_target;
const QByteArray Previous = "the file as it was\n";

void checkName(const QString& name)
{
    check(!name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')),
          "offered file name holds a directory");
    check(name != QLatin1String(".") && name != QLatin1String(".."),
          "offered file name is a directory");
    check(!name.contains(QChar(0)), "offered file name holds a NUL");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzzkit::init(argc, argv);
    libvelcor::registerMetaTypes();
    g_stub = new HttpStub;
    g_dir = fuzzkit::root() + QStringLiteral("/downloads");
    g_target = g_dir + QStringLiteral("/target.bin");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), int(size));
    checkName(NetworkManager::fileNameFromDisposition(input));

    const int space = input.indexOf(' ');
    const int eol = input.indexOf('\n');
    if (space < 0 || (eol >= 0 && eol < space))
        return 0;
    const QByteArray op = input.left(space);
    const QByteArray rest = input.mid(space + 1);
    const bool get = op.startsWith("get");
    const bool quiet = op.endsWith("-quiet");
    g_stub->setAnswer("HTTP/1.1 " + rest);
    const int status = HttpStub::statusCode(rest);

    fuzzkit::resetDir(g_dir);
    {
        QFile file(g_target);
        if (!file.open(QIODevice::WriteOnly) || file.write(Previous) != Previous.size())
            fuzzkit::fail("cannot write the previous target");
    }

    int finished = 0;
    int offered = 0;
    bool ended = false;
    QList<NetworkManager::Error> errors;
    {
        NetworkManager manager(nullptr);
        QObject::connect(&manager, QOverload<const QString&>::of(&NetworkManager::finished),
                         [&](const QString& target) {
                             ++finished;
                             check(target == g_target, "finished another target");
                         });
        QObject::connect(&manager, &NetworkManager::queryDownloadTarget,
                         [&](const QString&, const QString& name) {
                             ++offered;
                             checkName(name);
                         });
        QObject::connect(&manager, &NetworkManager::sigError,
                         [&](NetworkManager::Error err, const QString&) { errors << err; });
        const QString url =
            QStringLiteral("http://127.0.0.1:%1/files/report.pdf").arg(g_stub->port());
        check(manager.startDownload(url, get ? g_target : QString(), quiet) == 0,
              "download not sent");
        // Qt 5.15 never ends some broken replies (a chunk size past the
        // body) even once the server has closed the connection: a reply
        // that has not ended 300 ms after that has no outcome to check.
        const int before = g_stub->answered();
        check(fuzzkit::spin(
                  [&]() {
                      return manager.pendingDownloads() == 0 ||
                             (g_stub->answered() > before && g_stub->msSinceAnswer() > 300);
                  },
                  20000),
              "the request never reached the server");
        ended = manager.pendingDownloads() == 0;
        fuzzkit::drain();
    }
    fuzzkit::drain();

    check(finished + offered <= 1, "more than one outcome");
    if (!ended)
        check(finished == 0 && offered == 0, "an outcome before the reply ended");
    if (quiet)
        check(!errors.contains(NetworkManager::ErrorReply), "a quiet download reported its reply");
    if (status >= 400)
        check(finished == 0 && offered == 0, "an error status passed for success");
    if (get) {
        check(offered == 0, "a download asked for a file name");
        // The target is replaced whole or not at all; nothing else stays.
        const QStringList left = fuzzkit::listTree(g_dir);
        check(left == QStringList{QStringLiteral("target.bin")}, "a temporary file stayed behind");
        if (!finished)
            check(fuzzkit::readAll(g_target) == Previous, "a failed download changed the target");
    } else {
        check(finished == 0, "a file-name query wrote a file");
        check(fuzzkit::readAll(g_target) == Previous, "a file-name query changed a file");
    }
    return 0;
}
