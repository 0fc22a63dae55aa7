#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

namespace norvvelm {

// Extensions the print server never takes, from FileExt.ini: entries 1 to
// 5000, each an extension without its dot ("exe"); entries may be empty.
class ForbiddenExtensions {
public:
    static constexpr int kMaxEntries = 5000;

    // Reads the file; a missing or unreadable file gives an empty table.
    static ForbiddenExtensions load(const QString &path);
    // Items end at line ends and commas; a double-quoted item may hold commas.
    static ForbiddenExtensions parse(QByteArrayView content);

    // Entry n (1-based); "" when unset.
    QString entry(int n) const { return m_entries.value(n - 1); }
    int count() const { return int(m_entries.size()); }
    // True when the file's extension (from its last dot, dot included) is a
    // dot followed by an entry, without regard to letter case. A name without
    // a dot has no extension and is never forbidden.
    bool forbids(const QString &fileName) const;

private:
    QStringList m_entries;
    QSet<QString> m_lookup; // lower-case entries, for the folder scan
};

} // namespace norvvelm
