#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

namespace norvvelm {

// One running copy per program and home folder. The lock is keyed by the
// home folder's canonical path and kept where only its user may write: the
// session's runtime folder when it is private, else the home folder itself.
struct InstanceLock {
    enum class State {
        Held,           // this process runs alone
        AlreadyRunning, // another live process holds it ("Driver già attivo")
        Unavailable,    // no lock could be made: `error` says why
    };
    State state = State::Unavailable;
    QString path;
    QString error;
    std::unique_ptr<QLockFile> file; // held while it lives
    explicit operator bool() const { return state == State::Held; }
};

InstanceLock LockSingleInstance(const QString &program, const QString &home);

// What a program that did not get the lock says: "Driver già attivo" when
// another copy runs, else why no lock could be made; empty when it is held.
QString InstanceLockRefusal(const InstanceLock &lock);

} // namespace norvvelm
