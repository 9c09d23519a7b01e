#pragma once

#include <QString>

#include "libvelcor/params.h"

namespace libvelcor {
namespace detail {

// One line sent to the request server, as the server reads it: the answer
// it gets and, when accepted, the action it asks for. An Undecodable line
// is not a protocol message at all: the server closes its connection
// instead of answering.
struct ActionRequest
{
    enum Outcome { Accepted, Undecodable, InvalidId, UnknownType, Malformed };
    Outcome outcome = Undecodable;
    qint64 id = -1; // the request's id, -1 when it has none usable
    int rc = 0;     // the result code answered (libvelcor::Api::ResultCode)
    QString error;  // the error text answered; empty when accepted
    QString why;    // for the log: what was wrong with the line
    QString action; // when accepted
    Params params;  // when accepted
};

// Reads one line (without its "\n") of the request server's protocol.
ActionRequest readActionRequest(const char* data, int size);

} // namespace detail
} // namespace libvelcor
