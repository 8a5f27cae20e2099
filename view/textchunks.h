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
// chunks of up to 16 K characters, each at one byte a character while its characters fit in
// Latin-1 (hex pairs and ASCII text always do), so a display of hex pairs costs a byte a
// character. A few others (a mark at each line's start) are kept beside the bytes, at 4 bytes
// each; a chunk with many more is held as UTF-16. Reads are mostly sequential: the chunk the
// last read landed in is tried first.
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
        // In a Latin-1 chunk, the characters beyond Latin-1: where each stands (its byte in
        // `latin` is a stand-in), ascending, and what it is.
        std::vector<quint16> extraAt;
        std::vector<char16_t> extras;
        qsizetype size() const { return isWide ? wide.size() : latin.size(); }
        QString toString() const;
        template <typename Ch> void append(const Ch* data, qsizetype count);
        void widen();
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
        const qint64 start = m_chunkStarts[c];
        const qsizetype offset = qsizetype(pos - start);
        const qsizetype end = offset + qsizetype(std::min<qint64>(chunk.size() - offset, to - pos));
        if (chunk.isWide) {
            if (!f(reinterpret_cast<const char16_t*>(chunk.wide.constData()) + offset, end - offset,
                    pos))
                return;
        } else {
            // Latin-1 runs, and between them runs of the characters kept beside.
            const uchar* latin = reinterpret_cast<const uchar*>(chunk.latin.constData());
            size_t e = size_t(std::lower_bound(chunk.extraAt.begin(), chunk.extraAt.end(), offset)
                - chunk.extraAt.begin());
            qsizetype at = offset;
            while (at < end) {
                const qsizetype next
                    = e < chunk.extraAt.size() ? std::min<qsizetype>(chunk.extraAt[e], end) : end;
                if (next > at && !f(latin + at, next - at, start + at))
                    return;
                at = next;
                size_t run = e;
                while (run < chunk.extraAt.size() && run - e < size_t(end - at)
                    && chunk.extraAt[run] == at + qsizetype(run - e))
                    ++run;
                if (run > e) {
                    if (!f(chunk.extras.data() + e, qsizetype(run - e), start + at))
                        return;
                    at += qsizetype(run - e);
                    e = run;
                }
            }
        }
        pos = start + end;
        ++c;
    }
}
