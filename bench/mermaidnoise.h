#pragma once

#include <QByteArray>
#include <QRandomGenerator>

#include <iterator>

// "erDiagram" followed by bytes of seeded random words and Mermaid punctuation: text the
// reader must get through without finding much, shared by the Mermaid workloads.
inline QByteArray mermaidNoise(qsizetype bytes)
{
    static const char *const pieces[] = {"o{", "||", "--", "{", "}", "[", "]", "\"", ":", "%%",
                                         "to", "1", "*", "_", ":::", "|", "zero or more"};
    QRandomGenerator random(42);
    QByteArray text("erDiagram\n");
    text.reserve(bytes + 64);
    while (text.size() < bytes) {
        if (random.bounded(4) == 0) {
            text += pieces[random.bounded(int(std::size(pieces)))];
        } else {
            for (int i = random.bounded(1, 10); i > 0; --i)
                text += char('a' + random.bounded(26));
        }
        text += random.bounded(6) == 0 ? '\n' : ' ';
    }
    return text;
}
