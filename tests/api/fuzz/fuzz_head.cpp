// Fuzz target: the reader of a request's head. Whatever comes, it answers
// within its limits; a complete head ends at its blank line and reads the
// same without what follows it; a head that is complete was never refused
// while it came byte by byte.
#include "api/HttpHead.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool ok) {
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    norvvelm::HttpLimits limits;
    limits.requestLineBytes = 256; // small limits, so that inputs reach them
    limits.headerBytes = 1024;
    limits.headerCount = 8;
    limits.bodyBytes = 100;
    using Outcome = norvvelm::HttpHead::Outcome;
    const norvvelm::HttpHead head = norvvelm::ParseHead(bytes, limits);
    switch (head.outcome) {
    case Outcome::Incomplete:
        check(bytes.size() <= limits.headerBytes && !bytes.contains("\r\n\r\n"));
        break;
    case Outcome::Refused:
        check(head.refusal.status >= 400 && head.refusal.status < 600 && !head.refusal.body.isEmpty());
        break;
    case Outcome::Complete: {
        check(head.size >= 4 && head.size <= limits.headerBytes && bytes.mid(head.size - 4, 4) == "\r\n\r\n");
        check(head.request.path.startsWith(u'/') && head.bodyLength >= 0 &&
              head.bodyLength <= limits.bodyBytes);
        check(head.request.headers.size() <= limits.headerCount);
        const norvvelm::HttpHead alone = norvvelm::ParseHead(bytes.left(head.size), limits);
        check(alone.outcome == Outcome::Complete && alone.size == head.size &&
              alone.request.path == head.request.path && alone.request.headers == head.request.headers);
        for (qsizetype n = 0; n < head.size; ++n)
            check(norvvelm::ParseHead(bytes.left(n), limits).outcome == Outcome::Incomplete);
        break;
    }
    }
    return 0;
}
