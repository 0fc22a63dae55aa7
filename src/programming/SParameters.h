#pragma once

#include <QString>
#include <QStringList>

#include <array>

namespace norvvelm {

class WriteProcedure;

// The register's operating parameters, the S record, as the page holds it.
struct SRecord {
    std::array<int, 26> flags;       // list index of each flag's selection, -1 for none
    std::array<QString, 7> maximums; // whole numbers on the PC
    QString stationId;
    QString stationName;
    std::array<QString, 9> weightLeading;
    std::array<QString, 9> priceLeading;
    QString printIntensity;
    QString payRateCode;
    SRecord() { flags.fill(-1); }
};

// "s/" reads the S record, "S/" writes it; both share one layout of 30 fields.
class SParameters {
public:
    static constexpr int kFlags = 26;
    static constexpr int kMaximums = 7;
    static constexpr int kLeading = 9;

    // The items of each flag's list, in list order.
    static const std::array<QStringList, kFlags> &flagItems();
    // Flag defaults (the default record's digits).
    static int defaultFlag(int flag);
    // Labels and digit limits of the maximums, rows 0..6.
    static const std::array<QString, kMaximums> &maximumLabels();
    static const std::array<int, kMaximums> &maximumDigits();
    // The record "Ripristina Default" loads, as an answer line.
    static QString defaultAnswer();

    explicit SParameters(WriteProcedure &procedure) : m_procedure(procedure) {}

    static SRecord parse(const QString &answer);
    static QString writeCommand(const SRecord &r);

    // CmdReadParamS: the record, or false when the read failed.
    bool read(SRecord &record);
    // cmdSetParametri(9).
    bool write(const SRecord &record);

private:
    WriteProcedure &m_procedure;
};

} // namespace norvvelm
