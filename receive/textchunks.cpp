// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "receive/textchunks.h"

#include <QLatin1StringView>

#include <algorithm>

namespace {

// Characters a chunk holds before the next one begins. Edits split a chunk that grows past it.
constexpr qsizetype chunkChars = 16384;

template <typename Ch> bool fitsLatin1(const Ch* data, qsizetype count)
{
    if constexpr (sizeof(Ch) == 1) {
        Q_UNUSED(data);
        Q_UNUSED(count);
        return true;
    } else {
        // A character needs a second byte exactly when it sets a bit above the first eight.
        char16_t any = 0;
        for (qsizetype k = 0; k < count; ++k)
            any |= data[k];
        return any < 0x100;
    }
}

} // namespace

size_t TextChunks::chunkAt(qint64 pos) const
{
    if (m_chunks.empty())
        return 0;
    const size_t last = m_chunks.size() - 1;
    for (size_t c = m_lastChunk; c <= std::min(m_lastChunk + 1, last); ++c) {
        if (pos >= m_chunkStarts[c] && (pos < m_chunkStarts[c] + m_chunks[c].size() || c == last))
            return m_lastChunk = c;
    }
    const auto it = std::upper_bound(m_chunkStarts.begin(), m_chunkStarts.end(), pos);
    m_lastChunk = it == m_chunkStarts.begin() ? 0 : size_t(it - m_chunkStarts.begin()) - 1;
    return m_lastChunk;
}

char16_t TextChunks::at(qint64 pos) const
{
    if (pos < 0 || pos >= m_length)
        return 0;
    const size_t c = chunkAt(pos);
    const Chunk& chunk = m_chunks[c];
    const qsizetype offset = qsizetype(pos - m_chunkStarts[c]);
    return chunk.isWide ? chunk.wide.at(offset).unicode() : uchar(chunk.latin.at(offset));
}

QString TextChunks::mid(qint64 from, qint64 count) const
{
    from = std::clamp<qint64>(from, 0, m_length);
    count = std::clamp<qint64>(count, 0, m_length - from);
    QString result;
    result.reserve(qsizetype(count));
    forEachSpan(from, from + count, [&](const auto* data, qsizetype n, qint64) {
        if constexpr (sizeof(*data) == 1)
            result.append(QLatin1StringView(reinterpret_cast<const char*>(data), n));
        else
            result.append(QStringView(data, n));
        return true;
    });
    return result;
}

template <typename Ch> void TextChunks::appendChunked(const Ch* data, qsizetype count)
{
    qsizetype done = 0;
    while (done < count) {
        if (m_chunks.empty() || m_chunks.back().size() >= chunkChars) {
            m_chunkStarts.push_back(m_length);
            m_chunks.emplace_back();
        }
        Chunk& chunk = m_chunks.back();
        const qsizetype n = std::min(count - done, chunkChars - chunk.size());
        const Ch* piece = data + done;
        if (!chunk.isWide && !fitsLatin1(piece, n)) {
            chunk.wide = QString::fromLatin1(chunk.latin);
            chunk.wide.reserve(chunkChars);
            chunk.latin = QByteArray();
            chunk.isWide = true;
        }
        if (chunk.isWide) {
            if constexpr (sizeof(Ch) == 1)
                chunk.wide.append(QLatin1StringView(reinterpret_cast<const char*>(piece), n));
            else
                chunk.wide.append(QStringView(piece, n));
        } else {
            if (chunk.latin.capacity() < chunkChars)
                chunk.latin.reserve(chunkChars);
            const qsizetype old = chunk.latin.size();
            chunk.latin.resize(old + n);
            char* out = chunk.latin.data() + old;
            for (qsizetype k = 0; k < n; ++k)
                out[k] = char(piece[k]);
        }
        m_length += n;
        done += n;
    }
}

void TextChunks::recomputeChunkStarts(size_t from)
{
    m_chunkStarts.resize(m_chunks.size());
    qint64 pos = from == 0 ? 0 : m_chunkStarts[from - 1] + m_chunks[from - 1].size();
    for (size_t c = from; c < m_chunks.size(); ++c) {
        m_chunkStarts[c] = pos;
        pos += m_chunks[c].size();
    }
    m_length = pos;
    m_lastChunk = 0;
}

// Puts `text` where chunks [first, last) were, in even pieces no longer than a chunk.
void TextChunks::replaceChunks(size_t first, size_t last, QStringView text)
{
    std::vector<Chunk> pieces;
    const qsizetype count = (text.size() + chunkChars - 1) / chunkChars;
    const qsizetype size = count > 0 ? (text.size() + count - 1) / count : 0;
    for (qsizetype from = 0; from < text.size(); from += size) {
        const QStringView part = text.mid(from, size);
        Chunk chunk;
        if (fitsLatin1(part.utf16(), part.size())) {
            chunk.latin = part.toLatin1();
        } else {
            chunk.isWide = true;
            chunk.wide = part.toString();
        }
        pieces.push_back(std::move(chunk));
    }
    m_chunks.erase(m_chunks.begin() + qptrdiff(first), m_chunks.begin() + qptrdiff(last));
    m_chunks.insert(m_chunks.begin() + qptrdiff(first), std::make_move_iterator(pieces.begin()),
        std::make_move_iterator(pieces.end()));
    recomputeChunkStarts(first);
}

void TextChunks::append(QStringView text) { appendChunked(text.utf16(), text.size()); }

void TextChunks::appendLatin1(QByteArrayView text)
{
    appendChunked(reinterpret_cast<const uchar*>(text.data()), text.size());
}

void TextChunks::insert(qint64 pos, QStringView text)
{
    Q_ASSERT(pos >= 0 && pos <= m_length);
    if (pos == m_length) {
        append(text);
        return;
    }
    const size_t c = chunkAt(pos);
    const QString old = m_chunks[c].toString();
    const qsizetype offset = qsizetype(pos - m_chunkStarts[c]);
    QString merged;
    merged.reserve(old.size() + text.size());
    merged.append(QStringView(old).first(offset)).append(text).append(QStringView(old).mid(offset));
    replaceChunks(c, c + 1, merged);
}

void TextChunks::remove(qint64 from, qint64 count)
{
    Q_ASSERT(from >= 0 && count >= 0 && from + count <= m_length);
    if (count == 0)
        return;
    const qint64 to = from + count;
    const size_t first = chunkAt(from);
    const size_t last = chunkAt(to - 1);
    const QString merged = m_chunks[first].toString().left(qsizetype(from - m_chunkStarts[first]))
        + m_chunks[last].toString().mid(qsizetype(to - m_chunkStarts[last]));
    replaceChunks(first, last + 1, merged);
}

void TextChunks::clear()
{
    std::vector<Chunk>().swap(m_chunks);
    std::vector<qint64>().swap(m_chunkStarts);
    m_length = 0;
    m_lastChunk = 0;
}

qint64 TextChunks::memoryUsed() const
{
    qint64 bytes = qint64(m_chunks.capacity() * sizeof(Chunk))
        + qint64(m_chunkStarts.capacity() * sizeof(qint64));
    for (const Chunk& chunk : m_chunks)
        bytes += chunk.isWide ? chunk.wide.capacity() * 2 : chunk.latin.capacity();
    return bytes;
}
