#include "shell/InfoOptions.h"

#include "commands/Prompter.h"

#include <cstring>

namespace norvvelm {

std::optional<int> answerInfoOption(int argc, const char *const *argv, const QString &program,
                                    const QString &usage) {
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (std::strcmp(arg, "--") == 0)
            break;
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            WriteConsoleLine(stdout, usage);
            return 0;
        }
        if (std::strcmp(arg, "--version") == 0 || std::strcmp(arg, "-V") == 0) {
            WriteConsoleLine(stdout, program + u' ' + QStringLiteral(NORVVELM_VERSION_STRING));
            return 0;
        }
    }
    return std::nullopt;
}

} // namespace norvvelm
