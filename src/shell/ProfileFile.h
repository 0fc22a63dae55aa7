#pragma once

#include <QString>
#include <QStringList>

namespace norvvelm {

// A private profile file ("[section]" and "key=value" lines) read and written
// with the classic profile-string rules: section and key names compare
// without letter case, a value is cut to the reader's buffer size less one,
// a write updates one value in place and keeps every other line, and the
// file is replaced atomically.
class ProfileFile {
public:
    explicit ProfileFile(QString path) : m_path(std::move(path)) {}

    const QString &path() const { return m_path; }

    // The value, or the default when the section or key is missing; cut to
    // bufferSize - 1 characters, NUL turned to blank, surrounding blanks
    // removed.
    QString getString(const QString &section, const QString &key, const QString &defaultValue,
                      int bufferSize) const;
    // Writes one value; false when the file cannot be written.
    bool writeString(const QString &section, const QString &key, const QString &value) const;
    // All keys of a section, in file order.
    QStringList keys(const QString &section) const;

private:
    struct Text {
        QStringList lines;
        QString eol = QStringLiteral("\n");
        bool utf8 = false;
        bool endsWithEol = true;
    };
    Text read() const;
    static bool lineIsSection(const QString &line, QString *name);
    static bool lineIsKey(const QString &line, QString *key, QString *value);

    QString m_path;
};

} // namespace norvvelm
