// Fuzz target: the reader of receipt bodies, as JSON and as text. Whatever
// it reads must be lines the executor takes, and a refusal leaves no line.
#include "api/ReceiptReader.h"
#include "commands/CommandLanguage.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray body(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const auto type : {norvvelm::ReceiptBodyType::Json, norvvelm::ReceiptBodyType::Text}) {
        const norvvelm::ReceiptReading r = norvvelm::ReadReceiptBody(body, type);
        if (!r.ok() && !r.lines.isEmpty())
            std::abort();
        bool open = false;
        for (const QString &line : r.lines) {
            if (!norvvelm::ReceiptLineProblem(line, open).isEmpty())
                std::abort();
        }
    }
    return 0;
}
