#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace ecrsim {

class Register;

// What the register's own keyboard holds between two key presses.
struct KeyboardState {
    QString entry;                // digits and at most one comma, as typed
    qint64 quantity = 1000;       // thousandths, for the next sale ("x")
    int function = 0;             // 67 or 58, waiting for its digit and the cash key
    int functionDigit = -1;       // the digit that followed it
    bool returnMode = false;      // "Reso Merce": the next sale is a return
    bool creditNoteTotal = false; // a credit note's first cash key shows its total
    int operatorNumber = 1;
    int drawerOpenings = 0;
    int paperFeeds = 0;
    int cashIns = 0;
    // The last sale made by the keys, for the void of the last item.
    struct Sale {
        QString description;
        qint64 amount = 0; // cents, negative for a return
        int rate = 0;      // VAT rate slot 0..4
    };
    std::optional<Sale> lastSale;
};

// The register's keyboard: each key code of ")/" does what the key does at
// the register. Digits (implicit cents unless the comma is typed), "x" for a
// quantity, department keys sell, "Sub Totale", the cash key pays, closes and
// prints, and the other keys of the register page.
class Keyboard {
public:
    // Digit keys and the decimal comma.
    static int digitOf(int key); // -1 when the key is not a digit
    static constexpr int kComma = 73;
    static constexpr int kCash = 90;

    static QByteArray press(Register &reg, int key);
    // The display's first line: the running total (0 with no receipt open)
    // and, in what remains of the 16 characters, a word flush right.
    static QString firstLine(qint64 total, const QString &word);

private:
    static QByteArray department(Register &reg, int dept);
    static QByteArray cash(Register &reg);
    static QByteArray percent(Register &reg, bool surcharge);
    // A discount (negative `cents`) or surcharge of the SC and Magg keys: on
    // the sale just rung up when it follows one at once (its VAT rate; a
    // discount at most what the sale comes to), else on the receipt so far
    // (after "Sub Totale"), shared among its VAT rates.
    static QByteArray adjust(Register &reg, qint64 cents, const QString &label);
    static QByteArray voidLastItem(Register &reg);
    static QByteArray cashIn(Register &reg);
    static QByteArray plu(Register &reg);
    static QByteArray pay(Register &reg, int type);
    static QByteArray fail(Register &reg, QByteArrayView code);
    static void showEntry(Register &reg);
    static void resetEntry(Register &reg);
};

} // namespace ecrsim
