#pragma once

#include <QList>
#include <QString>

namespace norvvelm {

// The till's registers, one print server each: every instance announces
// itself in a folder shared by all (one file per instance, written whole,
// removed when it stops), so that any of them can list them all and a
// till configured with one address finds every register. No process routes
// between them: each entry gives its own address and port.
struct RegisterEntry {
    QString name;    // the instance: its home folder's name, or NORVVELM_INSTANCE
    QString address; // where its interface listens
    int port = 0;
    QString serial; // the register's, as identified
    QString model;  // Modello of its configuration
    QString firmware;
    bool online = false;
    qint64 pid = 0; // the process that announced it
    bool operator==(const RegisterEntry &) const = default;
};

class RegisterDirectory {
public:
    // The shared folder: $NORVVELM_RUNTIME_DIR when set, else /run/norvvelm
    // when it exists (the services'), else the user's runtime folder; each
    // with "registers" under it.
    static QString defaultFolder();
    // `folder` empty: defaultFolder(), found when it is first needed.
    explicit RegisterDirectory(QString folder = {}) : m_folder(std::move(folder)) {}

    QString folder() const;
    // Writes (or rewrites, when it changed) this instance's entry, whole:
    // a reader never sees half of it. False when the folder cannot be written.
    bool announce(const RegisterEntry &entry);
    // Removes the entry this process announced.
    void withdraw();
    // Every entry, by name; entries of processes no longer running, and
    // files that are not entries, are left out.
    QList<RegisterEntry> list() const;

    // A name an instance may have: 1 to 32 of A-Z a-z 0-9 _ . - (not "." or "..").
    static bool validName(const QString &name);

private:
    QString m_folder;
    QString m_announced; // the file this process wrote
    RegisterEntry m_last;
};

} // namespace norvvelm
