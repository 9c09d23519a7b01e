// Fuzzes the line decoder (both overflow policies) and the message codec
// with arbitrary bytes split into arbitrary reads. The decoder's lines are
// checked against a plain reference splitter.
#include <QJsonObject>
#include <QVariant>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "linedecoder.h"
#include "protocol.h"

using libvelcor::detail::LineDecoder;
namespace P = libvelcor::protocol;

namespace {

constexpr int Limit = 64;

// Says which check failed before the fuzzer stops.
void check(bool condition, int line = __builtin_LINE())
{
    if (condition)
        return;
    std::fprintf(stderr, "==FUZZ== check at fuzz_lineprotocol.cpp:%d failed\n", line);
    std::abort();
}

// The lines a decoder without a limit gives, "\r\n" endings stripped. An
// unfinished last line counts once it is past the limit (and its possible
// "\r"): the cutting decoder hands its start on without waiting.
std::vector<std::string> reference(const uint8_t* data, size_t size)
{
    std::vector<std::string> lines;
    std::string current;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '\n') {
            if (!current.empty() && current.back() == '\r')
                current.pop_back();
            lines.push_back(current);
            current.clear();
        } else {
            current.push_back(char(data[i]));
        }
    }
    if (current.size() > size_t(Limit) + 1)
        lines.push_back(current);
    return lines;
}

void decodeMessage(const char* p, int n)
{
    QJsonObject m;
    QString why;
    if (!P::decodeLine(p, n, m, why)) {
        check(!why.isEmpty());
        return;
    }
    check(!P::messageType(m).isEmpty());
    const qint64 id = P::messageId(m);
    check(id == -1 || (id >= 1 && id <= 9007199254740991LL));
    libvelcor::Params params;
    P::paramsFromJson(m.value(QLatin1String("params")), params);
    libvelcor::Auth auth;
    if (P::authFromJson(m.value(QLatin1String("auth")), auth)) {
        libvelcor::Auth again;
        check(P::authFromJson(P::authToJson(auth), again) && again == auth);
    }
    const QVariant config = P::jsonToVariant(m.value(QLatin1String("config")));
    P::mergeMaps(config.toMap(), config.toMap());
    // What decodes must encode to one line that decodes again, to the same
    // line. Not to the same object: Qt keeps an integer above 2^53 exact
    // when it reads one but writes it as a double, so the first round may
    // round it. Nor always: each round through Qt drops one U+FEFF that
    // begins a string or a key, so the type may become empty or one with
    // another key.
    const QByteArray line = P::encode(m);
    check(line.endsWith('\n') && line.count('\n') == 1);
    const QByteArray input = QByteArray::fromRawData(p, n);
    const QByteArray bomType = "\"\xef\xbb\xbftype\"";
    QJsonObject back;
    const bool again = P::decodeLine(line.constData(), line.size() - 1, back, why);
    check(again || line.contains("\"type\":\"\xef\xbb\xbf") || line.contains(bomType) ||
          input.contains(bomType));
    if (!input.contains("\xef\xbb\xbf") && !line.contains("\xef\xbb\xbf"))
        check(P::encode(back) == line);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte chooses the read size.
    const size_t piece = 1 + data[0] % 32;
    ++data;
    --size;
    const std::vector<std::string> expected = reference(data, size);

    LineDecoder cut(Limit, LineDecoder::CutLine);
    LineDecoder fail(Limit, LineDecoder::FailStream);
    std::vector<std::string> cutLines;
    std::vector<std::string> failLines;
    bool failed = false;
    for (size_t i = 0; i < size; i += piece) {
        const size_t n = std::min(piece, size - i);
        const char* p = reinterpret_cast<const char*>(data + i);
        cut.feed(p, qint64(n), [&](const char* line, int len, bool isCut) {
            check(len >= 0 && len <= Limit);
            cutLines.emplace_back(line, size_t(len));
            if (!isCut)
                decodeMessage(line, len);
        });
        check(cut.pendingSize() <= Limit + 1);
        if (!fail.feed(p, qint64(n), [&](const char* line, int len, bool isCut) {
                check(!isCut && len <= Limit);
                failLines.emplace_back(line, size_t(len));
            }))
            failed = true;
        check(fail.pendingSize() <= Limit + 1);
    }

    // Every line within the limit comes out unchanged, in order; a longer
    // one comes out as a prefix (cut) or stops the stream (fail).
    check(cutLines.size() == expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        if (expected[i].size() <= size_t(Limit))
            check(cutLines[i] == expected[i]);
        else
            check(cutLines[i].size() <= size_t(Limit) &&
                  expected[i].compare(0, cutLines[i].size(), cutLines[i]) == 0 &&
                  cutLines[i].size() + 4 > size_t(Limit));
    }
    check(failLines.size() <= expected.size());
    for (size_t i = 0; i < failLines.size(); ++i)
        check(failLines[i] == expected[i]);
    bool tooLong = false;
    for (const std::string& line : expected)
        tooLong = tooLong || line.size() > size_t(Limit);
    check(failed == tooLong);
    if (!failed)
        check(failLines.size() == expected.size());
    return 0;
}
