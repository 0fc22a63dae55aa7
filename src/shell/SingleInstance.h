#pragma once

#include <QString>

#include <functional>

namespace norvvelm {

class Clock;

// One running copy per home folder. The lock is the file NorvVelm.lock in the
// home folder itself, held by the kernel (flock) on an open descriptor for the
// whole run: it goes with its process however that ends, and whatever the
// environment or the path used to reach the folder, every copy locks the same
// file. What the file holds is never read: a leftover one, empty or not,
// refuses nothing.
//
// A command of the technician's (norvvelm-cmd) uses the register for a moment
// only. It says so with a second file beside the lock, NorvVelm-cmd.lock,
// held shared from before it takes the lock until after it lets go of it; a
// server that finds the lock taken looks at that mark to tell the short
// command, which it waits for, from another server or window.
class InstanceLock;

// Who asks for the lock.
enum class LockHolder {
    Program, // the print server or the window: runs for long, writes in the home
    Command, // norvvelm-cmd: a few lines, then it ends
};

// How a program waits while a command holds the lock: it looks again every
// tenth of a second on `clock`; `waiting` is called once when the wait
// begins, `goOn` before each look (false ends the wait, as a stop signal does).
struct CommandWait {
    Clock &clock;
    std::function<void()> waiting;
    std::function<bool()> goOn;
};

// Without `wait`, a lock a command holds is refused as CommandRunning.
InstanceLock LockSingleInstance(const QString &program, const QString &home,
                                LockHolder holder = LockHolder::Program, const CommandWait *wait = nullptr);

class InstanceLock {
public:
    enum class State {
        Held,           // this process runs alone
        AlreadyRunning, // another server or window holds it ("Driver già attivo")
        CommandRunning, // a command of the technician's holds it, and nobody waited
        Stopped,        // the wait for a command was ended
        NoHome,         // the home folder does not exist, or is not a folder
        HomeReadOnly,   // the home folder exists but cannot be written: `error` says why
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
    friend InstanceLock LockSingleInstance(const QString &program, const QString &home, LockHolder holder,
                                           const CommandWait *wait);
    void release();
    int m_fd = -1;
    int m_markFd = -1; // a command's mark, let go of after the lock
};

// What a program that did not get the lock says: "Driver già attivo" when
// another copy runs, else why it cannot run; empty when it is held.
QString InstanceLockRefusal(const InstanceLock &lock);

// What a server says while it waits for a command of the technician's.
QString CommandWaitText();

} // namespace norvvelm
