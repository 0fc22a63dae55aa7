#pragma once

#include <QStringList>

namespace norvvelm {

class WriteProcedure;

// The ten candidate texts of the register's scrolling message, kept in
// section "Messaggi" of NorvVelm.ini; "o/" sends the chosen one.
class ScrollMessages {
public:
    static constexpr int kCount = 10;
    static constexpr int kReadBuffer = 96; // a stored text comes back cut to 95 characters

    explicit ScrollMessages(WriteProcedure &procedure) : m_procedure(procedure) {}

    static QString command(const QString &message);

    // cmdSetParametri(7): the selected row's text (trimmed) is stored and
    // sent; with no row selected (-1) an empty message goes, nothing stored.
    bool send(const QStringList &texts, int selected);
    // cmdReadScrolMSG: the ten stored texts, empty where a key is missing.
    QStringList reload() const;

private:
    WriteProcedure &m_procedure;
};

} // namespace norvvelm
