// The two switches every NorvVelm program answers before anything else:
// --help (-h) prints the usage to standard output, --version (-V) prints
// "<program> <version>". Both end the program with exit code 0. They are read
// from argv so that a window program answers them without a display.
#pragma once

#include <QString>

#include <optional>

namespace norvvelm {

// The exit code when argv asks for help or the version (after printing the
// answer), nullopt when the program should carry on. Arguments after "--"
// are never switches.
std::optional<int> answerInfoOption(int argc, const char *const *argv, const QString &program,
                                    const QString &usage);

} // namespace norvvelm
