#pragma once

#include <QList>
#include <QPair>
#include <QString>

namespace q520 {

// A private profile file read with the platform's profile-string rules:
// section and key names ignore letter case, the first match wins, a value
// enclosed in matching quotes loses them, and a read with a buffer of N
// characters returns at most N - 1 of them.
class ProfileFile {
public:
    static ProfileFile load(const QString &path);
    static ProfileFile fromText(const QString &text);

    QString value(const QString &section, const QString &key, const QString &fallback, int buffer) const;

private:
    struct Entry {
        QString section;
        QString key;
        QString value;
    };
    QList<Entry> m_entries;
};

struct Settings {
    QString receiptFileName;
    QString receiptFolder; // absolute, ends with "/"
    QString logFolder;     // absolute, ends with "/"
    bool logEnabled = false;
    int portNumber = 0;
    QString portDevice;
    qint32 baudRate = 9600;

    QString receiptPath() const { return receiptFolder + receiptFileName; }
    QString totalsPath() const { return receiptFolder + QStringLiteral("Totali.txt"); }
    QString logPath() const { return logFolder + QStringLiteral("DriverQ520.log"); }
};

struct SettingsResult {
    bool ok = false;
    QString message; // the first failed check, for the operator
    Settings settings;
};

inline constexpr auto kSettingsFileName = "DriverQ520.ini";

// Reads "DriverQ520.ini" of the home folder; relative folders in it are taken
// from the home folder.
SettingsResult readSettings(const QString &homeFolder);
SettingsResult readSettingsText(const QString &iniText, const QString &homeFolder);

// The driver's home folder: $DRIVERQ520_HOME when set; else the program's own
// folder when a DriverQ520.ini lies there; else ~/.config/DriverQ520.
QString homeFolder(const QString &programFolder);

// Device of port number N: key "Com<N>" of section "Porte", else the
// platform's own name of the N-th serial port.
QString defaultPortDevice(int portNumber);

} // namespace q520
