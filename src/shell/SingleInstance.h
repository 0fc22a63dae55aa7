#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

namespace norvvelm {

// One running copy per program and home folder: a lock file in the runtime
// folder. Null when another copy holds it ("Driver già attivo").
std::unique_ptr<QLockFile> LockSingleInstance(const QString &program, const QString &home);

} // namespace norvvelm
