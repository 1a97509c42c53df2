#include "textlines.h"

namespace {

const QByteArray bom("\xEF\xBB\xBF");

} // namespace

TextLines::TextLines(const QByteArray &bytes)
{
    qsizetype start = 0;
    while (start < bytes.size()) {
        const qsizetype newline = bytes.indexOf('\n', start);
        if (newline < 0) {
            lines.append({bytes.mid(start), QByteArray()});
            break;
        }
        const bool crlf = newline > start && bytes[newline - 1] == '\r';
        const qsizetype textEnd = crlf ? newline - 1 : newline;
        lines.append({bytes.mid(start, textEnd - start), crlf ? QByteArray("\r\n") : QByteArray("\n")});
        start = newline + 1;
    }
}

QByteArray TextLines::bytes() const
{
    QByteArray result;
    for (const Line &line : lines)
        result += line.text + line.eol;
    return result;
}

QByteArray TextLines::eol() const
{
    qsizetype crlf = 0;
    qsizetype lf = 0;
    for (const Line &line : lines) {
        if (line.eol == "\r\n")
            ++crlf;
        else if (line.eol == "\n")
            ++lf;
    }
    return crlf > lf ? QByteArray("\r\n") : QByteArray("\n");
}

QByteArray TextLines::trimmed(qsizetype index) const
{
    QByteArray text = lines[index].text;
    if (index == 0 && text.startsWith(bom))
        text.remove(0, bom.size());
    return text.trimmed();
}

QByteArray TextLines::indentation(qsizetype index) const
{
    QByteArray text = lines[index].text;
    if (index == 0 && text.startsWith(bom))
        text.remove(0, bom.size());
    qsizetype n = 0;
    while (n < text.size() && (text[n] == ' ' || text[n] == '\t'))
        ++n;
    return text.left(n);
}

void TextLines::append(const QList<QByteArray> &texts)
{
    insert(lines.size(), texts);
}

void TextLines::insert(qsizetype index, const QList<QByteArray> &texts)
{
    const QByteArray ending = eol();
    if (index > 0 && lines[index - 1].eol.isEmpty())
        lines[index - 1].eol = ending;
    for (qsizetype i = 0; i < texts.size(); ++i)
        lines.insert(index + i, {texts[i], ending});
}

void TextLines::remove(qsizetype index, qsizetype count)
{
    lines.remove(index, count);
}
