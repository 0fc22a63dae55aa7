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
    // Sets the key's value in place: where the section (its first occurrence)
    // has the key, else after the section's last line, else in a new section
    // at the end.
    static void setValue(QStringList &lines, const QString &section, const QString &key,
                         const QString &value);
    // Replaces the key's value where the section has it; false (with where the
    // section starts and its last line that is not blank, -1 without one) when
    // it has none.
    static bool replaceInSection(QStringList &lines, const QString &section, const QString &key,
                                 const QString &value, qsizetype *sectionLine, qsizetype *lastInSection);
    // Replaces the file with `t`; false when it cannot be written.
    bool write(const Text &t) const;

    QString m_path;
};

} // namespace norvvelm
