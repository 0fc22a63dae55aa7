#pragma once

#include <QString>

namespace q520 {

// DriverQ520.log: one line per event, "YYYY-MM-DD hh:mm:ss - text", the file
// opened for appending and closed again for every line.
class Log {
public:
    void setPath(const QString &path, bool enabled) {
        m_path = path;
        m_enabled = enabled;
    }
    bool isEnabled() const { return m_enabled; }
    QString path() const { return m_path; }
    void write(const QString &text) const;

private:
    QString m_path;
    bool m_enabled = false;
};

} // namespace q520
