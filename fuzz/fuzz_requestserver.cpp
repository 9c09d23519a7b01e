// Fuzzes the request server's side of the protocol: bytes a local process
// sends to the request server, split into lines as the server splits them
// (the first byte chooses the read size), each read as the server reads it,
// answered, and an accepted action turned into the action map the program
// acts on. A line that is not a protocol message ends the connection: no
// answer, and nothing after it is read.
#include <QJsonObject>
#include <QVariantMap>

#include <cstdint>

#include "actionrequest.h"
#include "fuzzkit.h"
#include "libvelcor/api.h"
#include "linedecoder.h"
#include "mgr/manager.h"
#include "protocol.h"

using fuzzkit::check;
using libvelcor::Api;
using libvelcor::detail::ActionRequest;
using libvelcor::detail::LineDecoder;
namespace P = libvelcor::protocol;

namespace {

// False when the line ends the connection.
bool handleLine(const char* data, int size)
{
    if (size == 0)
        return true;
    const ActionRequest r = libvelcor::detail::readActionRequest(data, size);
    QJsonObject message;
    QString error;
    const bool isMessage = P::decodeLine(data, size, message, error);
    check(isMessage == (r.outcome != ActionRequest::Undecodable),
          "a message is taken for none, or the other way round");
    if (!isMessage)
        return false;
    const bool accepted = r.outcome == ActionRequest::Accepted;
    check(accepted == (r.rc == Api::ResultOk), "result code does not match the outcome");
    check(accepted == r.error.isEmpty(), "error text does not match the outcome");
    check(r.id == -1 || (r.id >= 1 && r.id <= 9007199254740991LL), "request id out of range");

    // The answer, as the server writes it, is one line that decodes.
    QJsonObject answer;
    answer.insert(QStringLiteral("type"), QStringLiteral("result"));
    if (r.id > 0)
        answer.insert(QStringLiteral("id"), double(r.id));
    answer.insert(QStringLiteral("rc"), r.rc);
    if (!r.error.isEmpty())
        answer.insert(QStringLiteral("error"), r.error);
    const QByteArray line = P::encode(answer);
    check(line.count('\n') == 1, "answer is not one line");
    QJsonObject back;
    QString why;
    check(P::decodeLine(line.constData(), line.size() - 1, back, why), "answer does not decode");
    check(P::messageId(back) == (r.id > 0 ? r.id : -1), "answer lost the request id");

    if (!accepted)
        return true;
    check(!r.action.isEmpty(), "accepted without an action");
    const QVariantMap map = ORVO::Manager::_actionMap(r.action, r.params);
    check(map.value(QStringLiteral("_type")).toString() == r.action, "action map lost the action");
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        check(it.value().type() == QVariant::String, "action map value is not text");
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzzkit::init(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const size_t piece = data[0] >= 0xC0 ? size : 1 + data[0] % 64;
    ++data;
    --size;
    LineDecoder decoder(P::MaxLineSize, LineDecoder::FailStream);
    bool open = true;
    for (size_t i = 0; i < size && open; i += piece) {
        const size_t n = std::min(piece, size - i);
        const bool ok = decoder.feed(reinterpret_cast<const char*>(data + i), qint64(n),
                                     [&open](const char* line, int length, bool) {
                                         if (open)
                                             open = handleLine(line, length);
                                     });
        if (!ok)
            break;
    }
    return 0;
}
