#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <array>

class QJsonObject;

namespace ecrsim {

// The tables the PC programs into the register: header and footer lines,
// department descriptions, PLUs, payments, the scrolling message and the S
// record. The Register keeps one and answers "H/", "F/", "d/", "D/", "p/",
// "P/", "y/", "Y/", "o/", "s/" and "S/" from it (Tables.cpp).
struct Tables {
    static constexpr int kHeaderLines = 12;
    static constexpr int kFooterLines = 3;
    static constexpr int kMaxHeaderChanges = 60;
    static constexpr int kMaxPlu = 9000;
    static constexpr int kSFields = 30;

    // A printed line: font code 1 normal, 2 double height, 3 double width,
    // 4 both (0 as 1), and its text laid out by the PC.
    struct Line {
        int font = 1;
        QString text;
    };
    struct Plu {
        QString code;
        QString description;
        int department = 1;
        QByteArray bonus = "0";
        QByteArray flags = "00000000";
        qint64 price = 0;     // cents
        qint64 maxPrice = 0;  // cents
        qint64 stock = 0;     // thousandths
        qint64 sold = 0;      // thousandths
        qint64 soldTotal = 0; // cents
    };
    struct Payment {
        QString description;
        QString shortDescription;
        QByteArray flags = "00000000";
        QByteArray rate = "0";
        QByteArray markUp = "0";
        QByteArray change = "0";
        int active = 1;
        int credit = 0;
    };

    Tables();

    std::array<Line, kHeaderLines> header;
    std::array<Line, kFooterLines> footer;
    int headerChanges = 0;
    std::array<QString, 20> departments; // descriptions
    QMap<int, Plu> plus;                 // by number 1..9000
    std::array<Payment, 9> payments;
    QString scrollMessage;
    QByteArrayList sRecord; // the 30 fields

    // The header and footer as printed on a 32-character roll: empty lines
    // are not printed, double-width lines are spread.
    QStringList printedHeader() const;
    QStringList printedFooter() const;
    // Finds a PLU by its code; 0 when none.
    int pluByCode(const QString &code) const;

    QJsonObject toJson() const;
    // False (the tables unchanged) when the object is not a state of ours.
    bool fromJson(const QJsonObject &o);
};

} // namespace ecrsim
