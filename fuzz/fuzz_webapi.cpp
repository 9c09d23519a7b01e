// Fuzzes the management server's replies to the web API client: login,
// logout and password change. The input's first line names the request
// and gives the rest of the status line ("chpw 200 OK"); the bytes after
// it (headers, blank line, body) follow as they are. A web server stub on
// 127.0.0.1 sends them and closes the connection.
#include <QScopedPointer>

#include <cstdint>

#include "fuzzkit.h"
#include "httpstub.h"
#include "libvelcor/client.h"
#include "libvelcor/metatypes.h"
#include "mgr/lodestarapi.h"

using fuzzkit::check;
using ORVO::LodestarApi;

namespace {

HttpStub* g_stub = nullptr;

// Credentials no input holds, so they must never show in the log.
const QString Password = QStringLiteral("Pw-login-7f3a9c");
const QString NewPassword = QStringLiteral("Pw-new-5b2e81");

struct Outcome
{
    int loggedIn = 0;
    int loggedOut = 0;
    int changed = 0;
    int errors = 0;
    QString changedPass;
    QStringList errorTexts;
    int total() const { return loggedIn + loggedOut + changed + errors; }
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzzkit::init(argc, argv);
    libvelcor::registerMetaTypes();
    g_stub = new HttpStub;
    libvelcor::Client::setPortOverride(g_stub->port());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), int(size));
    const int space = input.indexOf(' ');
    const int eol = input.indexOf('\n');
    if (space < 0 || (eol >= 0 && eol < space))
        return 0;
    const QByteArray op = input.left(space);
    const QByteArray rest = input.mid(space + 1);
    g_stub->setAnswer("HTTP/1.1 " + rest);
    const int status = HttpStub::statusCode(rest);
    const bool secretsInInput = input.contains("Pw-");

    fuzzkit::setCapture(true);
    Outcome seen;
    {
        LodestarApi api;
        QObject::connect(&api, &LodestarApi::loggedIn, [&]() { ++seen.loggedIn; });
        QObject::connect(&api, &LodestarApi::loggedOut, [&]() { ++seen.loggedOut; });
        QObject::connect(&api, &LodestarApi::authChanged, [&](const libvelcor::Auth& a) {
            ++seen.changed;
            seen.changedPass = a.getPass();
        });
        QObject::connect(&api, &LodestarApi::error, [&](const libvelcor::Error& e) {
            ++seen.errors;
            seen.errorTexts << e.getDesc() << e.getExtra();
        });
        QMetaObject::invokeMethod(
            &api, "_authReceived",
            Q_ARG(libvelcor::Auth,
                  libvelcor::Auth(libvelcor::Auth::ProfileId, libvelcor::Auth::UserPassType,
                                  QStringLiteral("https://ls"), QStringLiteral("user"), Password,
                                  QString())));
        QMetaObject::invokeMethod(&api, "_gotServerAddr",
                                  Q_ARG(QString, QStringLiteral("127.0.0.1")),
                                  Q_ARG(QString, QStringLiteral("127.0.0.1")));
        int sent = -1;
        if (op == "logout")
            sent = api.logout();
        else if (op == "chpw")
            sent = api.changePassword(NewPassword);
        else
            sent = api.login(QStringLiteral("user"), Password);
        check(sent == 0, "request not sent");
        // Qt 5.15 never ends some broken replies (a chunk size past the
        // body) even once the server has closed the connection; the client's
        // own time-out (30 s) ends them. A reply without an outcome 300 ms
        // after that is taken for one of those.
        const int before = g_stub->answered();
        check(fuzzkit::spin(
                  [&]() {
                      return seen.total() > 0 ||
                             (g_stub->answered() > before && g_stub->msSinceAnswer() > 300);
                  },
                  20000),
              "the request never reached the server");
        fuzzkit::drain();
    }
    fuzzkit::drain();
    const QStringList log = fuzzkit::takeLog();
    fuzzkit::setCapture(false);

    check(seen.total() <= 1, "more than one outcome");
    // Only a chunked reply may be left to the client's time-out, with no
    // outcome yet; any other ends, and as an error. Its head read as loosely
    // as Qt reads it: folded lines, blanks around the name.
    QByteArray encoding;
    bool inEncoding = false;
    for (const QByteArray& line : rest.split('\n').mid(1)) {
        if (line.isEmpty() || line == "\r")
            break; // the end of the head
        const bool folded = line.startsWith(' ') || line.startsWith('\t');
        if (!folded) {
            const int colon = line.indexOf(':');
            inEncoding = colon > 0 && line.left(colon).trimmed().toLower() == "transfer-encoding";
        }
        if (inEncoding)
            encoding += line.mid(folded ? 0 : line.indexOf(':') + 1).toLower();
    }
    const bool chunked = encoding.contains("chunked");
    if (status >= 400)
        check(seen.errors == 1 || (chunked && seen.total() == 0),
              "an error status passed for success");
    if (op == "logout")
        check(seen.loggedIn == 0 && seen.changed == 0, "logout ended as another request");
    else if (op == "chpw")
        check(seen.loggedIn == 0 && seen.loggedOut == 0, "password change ended as another");
    else
        check(seen.loggedOut == 0 && seen.changed == 0, "login ended as another request");
    if (seen.changed)
        check(seen.changedPass == NewPassword, "changed credential lost the new password");
    if (!secretsInInput) {
        for (const QString& text : log + seen.errorTexts)
            check(!text.contains(Password) && !text.contains(NewPassword),
                  "a password in the log or an error");
    }
    return 0;
}
