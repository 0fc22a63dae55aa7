#include "console/RegisterKeys.h"

namespace norvvelm {

namespace {

struct PanelRow {
    int index;
    const char16_t *caption;
    const char *tag;
    KeyFollowUp followUp;
    std::initializer_list<int> extra;
    int row;
    int column;
    int span;
};

// The register page: function keys on the left, digits, departments, totals;
// indices 44 to 50 stand in the frame "Programmazione" (their own grid).
constexpr KeyFollowUp N = KeyFollowUp::Nothing;
constexpr KeyFollowUp X = KeyFollowUp::ExtraKeys;
constexpr KeyFollowUp L = KeyFollowUp::LongerPause;

const PanelRow kPanel[] = {
    {0, u"SC %", "60", N, {}, 0, 0, 1},
    {1, u"SC \u20ac", "67", X, {22, 90}, 0, 1, 1},
    {2, u"Magg %", "53", N, {}, 0, 2, 1},
    {3, u"Magg \u20ac", "67", X, {37, 90}, 0, 3, 1},
    {4, u"Entrate", "26", N, {}, 0, 4, 1},
    {5, u"PLU", "51", L, {}, 0, 5, 1},
    {6, u"Cassetto", "36", L, {}, 0, 6, 1},
    {7, u"Clear", "118", N, {}, 1, 0, 1},
    {8, u"Annullo Scontrino", "28", L, {}, 1, 1, 1},
    {9, u"Reso Merce", "43", L, {}, 1, 2, 1},
    {10, u"Storno", "35", L, {}, 1, 3, 1},
    {11, u"Avanzam. Carta", "21", L, {}, 1, 4, 1},
    {12, u"x", "34", N, {}, 2, 0, 1},
    {13, u"Fx3", "78", N, {}, 5, 0, 1},
    {14, u"7", "61", N, {}, 2, 1, 1},
    {15, u"8", "62", N, {}, 2, 2, 1},
    {16, u"4", "37", N, {}, 3, 1, 1},
    {17, u"5", "46", N, {}, 3, 2, 1},
    {18, u"1", "22", N, {}, 4, 1, 1},
    {19, u"2", "30", N, {}, 4, 2, 1},
    {20, u"6", "54", N, {}, 3, 3, 1},
    {21, u"0", "69", N, {}, 5, 1, 1},
    {22, u"3", "38", N, {}, 4, 3, 1},
    {23, u"00", "69", KeyFollowUp::SameAgain, {}, 5, 2, 1},
    {24, u"9", "70", N, {}, 2, 3, 1},
    {25, u"Fx2", "7", N, {}, 4, 0, 1},
    {26, u",", "73", N, {}, 5, 3, 1},
    {27, u"Fx1", "65", N, {}, 3, 0, 1},
    {32, u"REP-04", "12", N, {}, 3, 5, 1},
    {33, u"Operatore", "29", N, {}, 1, 5, 1},
    {34, u"Altro (Tot3)", "9", N, {}, 2, 6, 1},
    {35, u"REP-03", "4", N, {}, 3, 4, 1},
    {36, u"Altro (Tot4)", "58", X, {37, 90}, 3, 6, 1},
    {37, u"Corr. non corrisp.", "1", N, {}, 1, 6, 1},
    {38, u"REP-02", "6", N, {}, 2, 5, 1},
    {39, u"REP-06", "11", N, {}, 4, 5, 1},
    {40, u"Sub Totale", "102", N, {}, 4, 6, 1},
    {41, u"REP-01", "5", N, {}, 2, 4, 1},
    {42, u"REP-05", "3", N, {}, 4, 4, 1},
    {43, u"Contanti", "90", KeyFollowUp::CloseDocument, {}, 5, 4, 3},
    {44, u"\\/", "114", N, {}, 2, 1, 1},
    {45, u">", "116", N, {}, 1, 2, 1},
    {46, u"<", "107", N, {}, 1, 0, 1},
    {47, u"KEY", "13", N, {}, 1, 1, 1},
    {48, u"/\\", "117", N, {}, 0, 1, 1},
    {49, u"CL", "118", N, {}, 3, 0, 1},
    {50, u"OK", "90", N, {}, 3, 2, 1},
};

struct VirtualRow {
    int index;
    const char16_t *caption;
    const char *tag; // nullptr: present but disabled
};

// Laid out in columns of five keys: index / 5 is the column, index % 5 the row.
const VirtualRow kVirtual[] = {
    {0, u"CL", "118"},
    {1, u"7", "61"},
    {2, u"4", "37"},
    {3, u"1", "22"},
    {4, u"0", "69"},
    {5, u"CF 11", nullptr},
    {6, u"8", "62"},
    {7, u"5", "46"},
    {8, u"2", "30"},
    {9, u".", "73"},
    {10, u"CF 16", nullptr},
    {11, u"9", "70"},
    {12, u"6", "54"},
    {13, u"3", "38"},
    {14, u"X", "34"},
    {15, u"", nullptr},
    {16, u"Rep1", "5"},
    {17, u"Rep2", "6"},
    {18, u"Rep3", "4"},
    {19, u"Rep4", "12"},
    {20, u"", nullptr},
    {21, u"Reso Merce", nullptr},
    {22, u"Annullo", nullptr},
    {23, u"Storno", nullptr},
    {24, u"Annullo Scontr.", nullptr},
    {25, u"Corr. Non Riscos.", nullptr},
    {26, u"Apert. Casset.", nullptr},
    {27, u"/\\", "117"},
    {28, u"<", "107"},
    {30, u"KEY", "13"},
    {31, u"Sub Totale", nullptr},
    {32, u"v", "114"},
    {33, u">", "116"},
    {34, u"Contanti", "90"},
};

} // namespace

const QList<RegisterKey> &RegisterPanelKeys() {
    static const QList<RegisterKey> keys = [] {
        QList<RegisterKey> out;
        for (const PanelRow &r : kPanel) {
            RegisterKey k;
            k.index = r.index;
            k.caption = QString::fromUtf16(r.caption);
            k.tag = QString::fromLatin1(r.tag);
            k.followUp = r.followUp;
            k.extraKeys = QList<int>(r.extra);
            k.programming = r.index >= 44;
            if (r.index == 13 || r.index == 25 || r.index == 27)
                k.toolTip = QStringLiteral("Tasto programmabile dal tecnico");
            k.row = r.row;
            k.column = r.column;
            k.columnSpan = r.span;
            out.append(k);
        }
        return out;
    }();
    return keys;
}

const QList<RegisterKey> &VirtualKeyboardKeys() {
    static const QList<RegisterKey> keys = [] {
        QList<RegisterKey> out;
        for (const VirtualRow &r : kVirtual) {
            RegisterKey k;
            k.index = r.index;
            k.caption = QString::fromUtf16(r.caption);
            k.tag = r.tag ? QString::fromLatin1(r.tag) : QString();
            k.enabled = r.tag != nullptr;
            k.row = r.index % 5;
            k.column = r.index / 5;
            out.append(k);
        }
        return out;
    }();
    return keys;
}

const RegisterKey *FindRegisterKey(const QList<RegisterKey> &keys, int index) {
    for (const RegisterKey &k : keys) {
        if (k.index == index)
            return &k;
    }
    return nullptr;
}

int RegisterPanelIndexForTypedText(const QString &text) {
    if (text.size() != 1)
        return -1;
    const QChar c = text.at(0);
    if (c == u',' || c == u'.')
        return 26;
    if (c >= u'0' && c <= u'9') {
        for (const RegisterKey &k : RegisterPanelKeys()) {
            if (k.caption == text)
                return k.index;
        }
    }
    return -1;
}

} // namespace norvvelm
