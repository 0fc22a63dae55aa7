#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace norvvelm {

class WriteProcedure;

// One of the register's twenty departments: its description and the number
// of its VAT rate (1..5; 0 when none is chosen).
struct Department {
    QString description;
    int rate = 0;
};

// The department table: "d/" reads one, "D/" writes one.
class Departments {
public:
    static constexpr int kCount = 20;
    static constexpr int kTypedLimit = 32;

    explicit Departments(WriteProcedure &procedure) : m_procedure(procedure) {}

    static QString readCommand(int n);
    static QString writeCommand(int n, const Department &d);
    // The answer's description (trimmed) and rate number; a rate below 1 is 0.
    static Department parse(const QString &answer);

    // cmdreadParmIVAREP after the VAT rates: departments 1..20 in order.
    // `before(n)` runs before each one is asked, `done(n, d)` after it, with
    // nothing when it could not be read. True when the last one was read.
    bool read(const std::function<void(int)> &before,
              const std::function<void(int, const std::optional<Department> &)> &done);
    // cmdSetParametri(3): the twenty departments one by one.
    void write(const QList<Department> &departments);

private:
    WriteProcedure &m_procedure;
};

} // namespace norvvelm
