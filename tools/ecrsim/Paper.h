#pragma once

#include <QString>
#include <QStringList>

namespace ecrsim {

// The register's paper roll: every printed document, in memory (the most
// recent ones) and, when a file is set, appended to it as UTF-8 text and
// flushed as soon as the document is cut.
class Paper {
public:
    static constexpr int kWidth = 32;  // characters on one printed line
    static constexpr int kKeep = 1000; // documents kept in memory

    // Appends to `path` from now on ("-": standard output); false with a
    // message when it cannot be written.
    bool setFile(const QString &path, QString *error = nullptr);
    QString filePath() const { return m_path; }

    // Prints one document (its lines, without line ends) and cuts the paper.
    void print(const QStringList &lines);

    // Documents printed, oldest first, each as its lines joined by '\n'.
    const QStringList &documents() const { return m_documents; }
    QString last() const { return m_documents.isEmpty() ? QString() : m_documents.constLast(); }
    int printed() const { return m_printed; }

    // Layout helpers for a kWidth roll.
    static QString centred(const QString &text);
    // `left` and `right` on one line, the right part flush with the edge; a
    // left part too long for the line is cut.
    static QString row(const QString &left, const QString &right);
    static QString rule(QChar c = u'-') { return QString(kWidth, c); }

private:
    QString m_path;
    QStringList m_documents;
    int m_printed = 0;
};

} // namespace ecrsim
