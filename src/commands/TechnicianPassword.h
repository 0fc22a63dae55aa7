#pragma once

#include "commands/PasswordHash.h"

#include <QString>

#include <memory>

class QSettings;

namespace norvvelm {

// The per-user settings store ("Norv-VELM", "NorvVelm": the technician's
// password, the window's place), or `file` when one is given (tests).
std::unique_ptr<QSettings> OpenUserSettings(const QString &file);

// The technician password, in the per-user settings store ("Norv-VELM",
// group "Tecnico", key "Password"), readable by its owner alone. The store
// holds a salted hash of the trimmed, upper-cased password; a plain value
// left by an older installation still counts until the next change.
class TechnicianPassword {
public:
    // An explicit settings file for tests; empty for the user's own store.
    explicit TechnicianPassword(QString settingsFile = {}) : m_file(std::move(settingsFile)) {}
    // The stored value as it is (a hash, a plain value or empty).
    QString read() const;
    bool write(const QString &password) const;

    // No password set: the stored value is absent or blank.
    bool isEmpty() const { return read().trimmed().isEmpty(); }
    // What the technician typed against the stored password, without regard
    // to surrounding blanks and letter case.
    bool matches(const QString &typed) const;
    // Stores the new password (trimmed) as its hash; a blank one clears it.
    bool change(const QString &password) const;

    // The store's file as given: empty for the user's own store.
    const QString &settingsFile() const { return m_file; }

    // The hash's cost; tests lower it.
    int iterations = passwordhash::kDefaultIterations;

private:
    QString m_file;
};

} // namespace norvvelm
