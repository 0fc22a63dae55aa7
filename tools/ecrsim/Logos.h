#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <QStringList>

#include <array>

namespace ecrsim {

// The register's two graphic logos. A logo arrives as "$/" lines, one per row
// of dots from the top: logo number, width, height, row, then width / 4
// upper-case hexadecimal digits (the leftmost dot the high bit of the first
// digit, a white dot the bit 1). Rows come in order from 1; the logo replaces
// the stored one only when its last row is in. A malformed row, or a row that
// does not follow the one before, is refused with 23 and ends every logo
// being received.
class Logos {
public:
    static constexpr int kCount = 2;

    struct Logo {
        int width = 0;
        int height = 0;
        QByteArrayList rows; // hexadecimal digits, top row first
        bool isEmpty() const { return rows.isEmpty(); }
        bool white(int x, int y) const;
    };

    // Takes the fields of one "$/" line (fields[0] is "$"); returns the error
    // code of the answer: "00" or "23".
    QByteArray takeRow(const QByteArrayList &fields);

    // The last complete logo `n` (1 or 2); empty when none arrived.
    const Logo &logo(int n) const { return m_stored.at(size_t(n - 1)); }
    // The row the logo being received expects next; 0 when none is under way.
    int expectedRow(int n) const;

    // Logos printed at the top of each receipt whatever the S record says.
    bool printOnReceipts = false;
    // The S record asks for the logos: its flag 22, "Print logo".
    static bool askedBy(const QByteArrayList &sRecord);
    // Lines of block characters for the receipt's top: every stored logo,
    // when printing is on or `asked`.
    QStringList paperLines(bool asked) const;
    // A logo as block characters, 32 to a line whatever its width.
    static QStringList blockLines(const Logo &logo);

    // Each complete logo is written there as logo1.pbm or logo2.pbm from now
    // on; false with a message when the folder is missing.
    bool setFolder(const QString &folder, QString *error = nullptr);
    QString pbmPath(int n) const;
    // A logo as a binary PBM image (P4: a bit 1 is black, eight dots a byte).
    static QByteArray pbm(const Logo &logo);

    // Control lines "logos print on|off" and "logos clear"; empty for others.
    QByteArray control(const QByteArray &line);

private:
    void complete(int index);

    std::array<Logo, kCount> m_stored;
    std::array<Logo, kCount> m_receiving;
    QString m_folder;
};

} // namespace ecrsim
