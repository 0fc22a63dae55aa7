#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>

namespace norvvelm {

class WriteProcedure;

// One of the register's nine payments, as its row of the page holds it.
// Check boxes as their values: 0 unchecked, 1 checked, 2 grey.
struct Payment {
    QString description;        // txtPagDescr, 8 characters reach the register
    QString shortDescription;   // txtPagDescrBreve, 4
    std::array<int, 8> flags{}; // Da Resto .. Accetta Decimali
    QString rate;               // txtPagTasso, 4
    QString markUp;             // txtPagMarkUp, 4
    QString change;             // txtPagChange, shown only
    int active = 0;             // chkPagAttivo
    int credit = 0;             // chkPagCrediti
};

// The payment table: "y/" reads a payment, "Y/" writes one.
class PaymentTable {
public:
    static constexpr int kCount = 9;
    static constexpr int kDescriptionLimit = 8;
    static constexpr int kShortLimit = 4;
    static constexpr int kCodeLimit = 4;

    explicit PaymentTable(WriteProcedure &procedure) : m_procedure(procedure) {}

    static QString readCommand(int n);
    static QString writeCommand(int n, const Payment &p);
    // Fills what a read shows into `p`: descriptions, flags, rate, change
    // method and mark-up code. Activity and credit are the caller's.
    static void parse(const QString &answer, Payment &p);

    // cmdReadPagamenti: payments 1..9; `row(n, answer)` for each one read
    // (the answer to apply with parse), nothing for one that failed. True when
    // the ninth was read.
    bool read(const std::function<void(int, const QString &)> &row);
    // cmdSetParametri(6).
    void write(const QList<Payment> &payments);

private:
    WriteProcedure &m_procedure;
};

} // namespace norvvelm
