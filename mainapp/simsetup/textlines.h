#pragma once

#include <QByteArray>
#include <QList>

// A config file as lines of raw bytes, each with its own line ending, so that
// joining gives back the file byte for byte (CRLF, a missing final newline and
// a UTF-8 BOM included).
class TextLines
{
public:
    struct Line
    {
        QByteArray text; // without the ending; the BOM stays on the first line
        QByteArray eol;  // "\r\n", "\n" or empty on a last line without one
    };

    explicit TextLines(const QByteArray &bytes);

    QByteArray bytes() const;
    // The ending most lines use; "\n" for a file without any.
    QByteArray eol() const;

    // A line's text without a leading BOM and surrounding white space.
    QByteArray trimmed(qsizetype index) const;
    // The white space a line starts with.
    QByteArray indentation(qsizetype index) const;

    // Appends lines at the end; a last line without an ending gets one first.
    void append(const QList<QByteArray> &texts);
    void insert(qsizetype index, const QList<QByteArray> &texts);
    void remove(qsizetype index, qsizetype count);

    QList<Line> lines;
};
