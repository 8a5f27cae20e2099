// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <algorithm>

#include <vector>

// The characters of the receive display and nothing else: no rows, no caret. They are kept in
// chunks of up to 16 K characters, each at one byte a character while all of its characters fit
// in Latin-1 (hex pairs and ASCII text always do), so a display of hex pairs costs a byte a
// character. Reads are mostly sequential: the chunk the last read landed in is tried first.
class TextChunks {
public:
    qint64 length() const { return m_length; }
    QString mid(qint64 from, qint64 count) const;
    char16_t at(qint64 pos) const; // 0 outside the text

    void append(QStringView text);
    void appendLatin1(QByteArrayView text);
    void insert(qint64 pos, QStringView text);
    void remove(qint64 from, qint64 count);
    // Empties the text and gives its memory back.
    void clear();

    // Bytes held by the characters.
    qint64 memoryUsed() const;

    // Hands the characters of [from, to) to f as they are stored, a chunk's piece at a time:
    // f(data, count, pos), with data a `const uchar*` (Latin-1) or a `const char16_t*`, and pos
    // where data[0] stands. Stops early when f returns false.
    template <typename F> void forEachSpan(qint64 from, qint64 to, F&& f) const;

private:
    struct Chunk {
        QByteArray latin;
        QString wide;
        bool isWide = false;
        qsizetype size() const { return isWide ? wide.size() : latin.size(); }
        QString toString() const { return isWide ? wide : QString::fromLatin1(latin); }
    };

    template <typename Ch> void appendChunked(const Ch* data, qsizetype count);
    void replaceChunks(size_t first, size_t last, QStringView text);
    void recomputeChunkStarts(size_t from);
    size_t chunkAt(qint64 pos) const;

    std::vector<Chunk> m_chunks;
    std::vector<qint64> m_chunkStarts;
    qint64 m_length = 0;
    mutable size_t m_lastChunk = 0; // where the last lookup landed
};

template <typename F> void TextChunks::forEachSpan(qint64 from, qint64 to, F&& f) const
{
    to = std::min(to, m_length);
    if (from >= to)
        return;
    size_t c = chunkAt(from);
    qint64 pos = from;
    while (pos < to && c < m_chunks.size()) {
        const Chunk& chunk = m_chunks[c];
        const qsizetype offset = qsizetype(pos - m_chunkStarts[c]);
        const qsizetype count = qsizetype(std::min<qint64>(chunk.size() - offset, to - pos));
        const bool more = chunk.isWide
            ? f(reinterpret_cast<const char16_t*>(chunk.wide.constData()) + offset, count, pos)
            : f(reinterpret_cast<const uchar*>(chunk.latin.constData()) + offset, count, pos);
        if (!more)
            return;
        pos += count;
        ++c;
    }
}
