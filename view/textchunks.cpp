// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "view/textchunks.h"

#include <QLatin1StringView>

#include <algorithm>
#include <cstring>

namespace {

// Characters a chunk holds before the next one begins. Edits split a chunk that grows past it.
constexpr qsizetype chunkChars = 16384;
// Characters beyond Latin-1 a Latin-1 chunk keeps beside its bytes; one more and the chunk is
// held as UTF-16. At this bound they cost an eighth of a byte a character, a tenth of UTF-16's.
constexpr size_t maxExtras = chunkChars / 32;
// What a Latin-1 chunk's byte holds where the character is kept beside it.
constexpr char standIn = '?';

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
    if (chunk.isWide)
        return chunk.wide.at(offset).unicode();
    const auto extra = std::lower_bound(chunk.extraAt.begin(), chunk.extraAt.end(), offset);
    if (extra != chunk.extraAt.end() && *extra == offset)
        return chunk.extras[size_t(extra - chunk.extraAt.begin())];
    return uchar(chunk.latin.at(offset));
}

QString TextChunks::Chunk::toString() const
{
    if (isWide)
        return wide;
    QString text = QString::fromLatin1(latin);
    for (size_t k = 0; k < extras.size(); ++k)
        text[extraAt[k]] = QChar(extras[k]);
    return text;
}

void TextChunks::Chunk::widen()
{
    wide = toString();
    wide.reserve(chunkChars);
    latin = QByteArray();
    std::vector<quint16>().swap(extraAt);
    std::vector<char16_t>().swap(extras);
    isWide = true;
}

template <typename Ch> void TextChunks::Chunk::append(const Ch* data, qsizetype count)
{
    if (!isWide && !fitsLatin1(data, count)) {
        size_t beyond = 0;
        for (qsizetype k = 0; k < count; ++k)
            beyond += data[k] > 0xFF;
        if (extras.size() + beyond > maxExtras)
            widen();
    }
    if (isWide) {
        if constexpr (sizeof(Ch) == 1)
            wide.append(QLatin1StringView(reinterpret_cast<const char*>(data), count));
        else
            wide.append(QStringView(data, count));
        return;
    }
    if (latin.capacity() < chunkChars)
        latin.reserve(chunkChars);
    const qsizetype old = latin.size();
    latin.resize(old + count);
    char* out = latin.data() + old;
    if constexpr (sizeof(Ch) == 1) {
        std::memcpy(out, data, size_t(count));
    } else {
        for (qsizetype k = 0; k < count; ++k) {
            if (data[k] > 0xFF) {
                extraAt.push_back(quint16(old + k));
                extras.push_back(data[k]);
                out[k] = standIn;
            } else {
                out[k] = char(data[k]);
            }
        }
    }
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
        chunk.append(data + done, n);
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
        chunk.append(part.utf16(), part.size());
        chunk.latin.squeeze();
        chunk.wide.squeeze();
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
        bytes += chunk.isWide
            ? chunk.wide.capacity() * 2
            : chunk.latin.capacity() + chunk.extraAt.capacity() * 2 + chunk.extras.capacity() * 2;
    return bytes;
}
