#pragma once

#include <QString>

namespace norvvelm {

// One running copy per home folder. The lock is the file NorvVelm.lock in the
// home folder itself, held by the kernel (flock) on an open descriptor for the
// whole run: it goes with its process however that ends, and whatever the
// environment or the path used to reach the folder, every copy locks the same
// file. What the file holds is never read: a leftover one, empty or not,
// refuses nothing.
class InstanceLock;
// `waitMs`: how long a lock another process holds is waited for (a short
// command of the technician's ends soon) before it counts as running.
InstanceLock LockSingleInstance(const QString &program, const QString &home, int waitMs = 0);

class InstanceLock {
public:
    enum class State {
        Held,           // this process runs alone
        AlreadyRunning, // another live process holds it ("Driver già attivo")
        Unavailable,    // no lock could be made: `error` says why
    };

    InstanceLock() = default;
    InstanceLock(InstanceLock &&other) noexcept;
    InstanceLock &operator=(InstanceLock &&other) noexcept;
    InstanceLock(const InstanceLock &) = delete;
    InstanceLock &operator=(const InstanceLock &) = delete;
    ~InstanceLock();

    State state = State::Unavailable;
    QString path;
    QString error;
    explicit operator bool() const { return state == State::Held; }

private:
    friend InstanceLock LockSingleInstance(const QString &program, const QString &home, int waitMs);
    void release();
    int m_fd = -1;
};

// What a program that did not get the lock says: "Driver già attivo" when
// another copy runs, else why no lock could be made; empty when it is held.
QString InstanceLockRefusal(const InstanceLock &lock);

} // namespace norvvelm
