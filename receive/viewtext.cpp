#include "receive/viewtext.h"

#include <QChar>
#include <QLatin1StringView>

#include <algorithm>
#include <cmath>

namespace {

// Characters a chunk holds before the next one begins. Edits split a chunk that grows past it.
constexpr qsizetype chunkChars = 16384;
// How many characters a row layout reads at a time.
constexpr qsizetype layoutBlock = 256;

bool isIdeograph(char32_t u)
{
    return (u >= 0x2E80 && u <= 0x9FFF) || (u >= 0xAC00 && u <= 0xD7AF)
        || (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFF00 && u <= 0xFFEF)
        || (u >= 0x20000 && u <= 0x3FFFF);
}

// Punctuation that never begins a row, and punctuation that never ends one.
bool isClosingPunctuation(char32_t u)
{
    switch (u) {
    case 0x3001:
    case 0x3002:
    case 0x3009:
    case 0x300B:
    case 0x300D:
    case 0x300F:
    case 0x3011:
    case 0xFF01:
    case 0xFF09:
    case 0xFF0C:
    case 0xFF0E:
    case 0xFF1A:
    case 0xFF1B:
    case 0xFF1F:
        return true;
    default:
        return false;
    }
}

bool isOpeningPunctuation(char32_t u)
{
    switch (u) {
    case 0x3008:
    case 0x300A:
    case 0x300C:
    case 0x300E:
    case 0x3010:
    case 0xFF08:
        return true;
    default:
        return false;
    }
}

// A row may break on either side of an ideograph, except before closing punctuation (which stays
// with what it closes) and after opening punctuation.
bool breaksBefore(char32_t u) { return u >= 0x2E80 && isIdeograph(u); }
bool breaksAfter(char16_t c) { return c >= 0x2E80 && isIdeograph(c) && !isOpeningPunctuation(c); }

enum class CharClass : quint8 { Plain, Space, Other };

// What the layout must look at for each Latin-1 character.
struct Latin1Classes {
    CharClass kinds[256] {};
    constexpr Latin1Classes()
    {
        for (int c = 0; c < 256; ++c)
            kinds[c] = c > 0x20 && c < 0x7F ? CharClass::Plain
                : c == 0x20                 ? CharClass::Space
                                            : CharClass::Other;
    }
};
constexpr Latin1Classes latin1Classes;

bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }
bool isLineBreak(char16_t c) { return c == u'\n' || c == u'\r'; }
bool isWordChar(char16_t c) { return !isBlank(c) && !isLineBreak(c); }

qint64 toFixed(qreal pixels) { return std::llround(pixels * 64.0); }

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

QString chunkString(const QByteArray& latin, const QString& wide, bool isWide)
{
    return isWide ? wide : QString::fromLatin1(latin);
}

} // namespace

ViewText::ViewText() = default;
ViewText::~ViewText() = default;

void ViewText::setMetrics(const TextMetrics& metrics)
{
    m_wrapWidth = metrics.wrapWidth > 0 ? toFixed(metrics.wrapWidth) : 0;
    m_tabWidth = toFixed(metrics.tabWidth);
    for (int c = 0; c < 256; ++c)
        m_latin1[c] = toFixed(metrics.latin1[c]);
    m_measure = metrics.measure;
    m_bmp.reset();
    m_astral.clear();
    relayoutAll();
}

// ---- characters

size_t ViewText::chunkAt(qint64 pos) const
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

template <typename F> void ViewText::forEachSpan(qint64 from, qint64 to, F&& f) const
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

char16_t ViewText::at(qint64 pos) const
{
    if (pos < 0 || pos >= m_length)
        return 0;
    const size_t c = chunkAt(pos);
    const Chunk& chunk = m_chunks[c];
    const qsizetype offset = qsizetype(pos - m_chunkStarts[c]);
    return chunk.isWide ? chunk.wide.at(offset).unicode() : uchar(chunk.latin.at(offset));
}

QString ViewText::mid(qint64 from, qint64 count) const
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

QString ViewText::text() const { return mid(0, m_length); }

template <typename Ch> void ViewText::appendChunked(const Ch* data, qsizetype count)
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

void ViewText::recomputeChunkStarts(size_t from)
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
void ViewText::replaceChunks(size_t first, size_t last, QStringView text)
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

void ViewText::append(QStringView text)
{
    if (text.isEmpty())
        return;
    ensureState();
    const qint64 pos = m_length;
    appendChunked(text.utf16(), text.size());
    wrap(text.utf16(), text.size(), pos);
}

void ViewText::appendLatin1(QByteArrayView text)
{
    if (text.isEmpty())
        return;
    ensureState();
    const qint64 pos = m_length;
    const auto* data = reinterpret_cast<const uchar*>(text.data());
    appendChunked(data, text.size());
    wrap(data, text.size(), pos);
}

void ViewText::insert(qint64 pos, QStringView text)
{
    pos = std::clamp<qint64>(pos, 0, m_length);
    if (text.isEmpty())
        return;
    if (pos == m_length) {
        append(text);
        return;
    }
    const size_t c = chunkAt(pos);
    const Chunk& chunk = m_chunks[c];
    const QString old = chunkString(chunk.latin, chunk.wide, chunk.isWide);
    const qsizetype offset = qsizetype(pos - m_chunkStarts[c]);
    QString merged;
    merged.reserve(old.size() + text.size());
    merged.append(QStringView(old).first(offset)).append(text).append(QStringView(old).mid(offset));
    replaceChunks(c, c + 1, merged);
    relayoutAfterEdit(pos, 0, text.size());
}

void ViewText::remove(qint64 from, qint64 count)
{
    from = std::clamp<qint64>(from, 0, m_length);
    count = std::clamp<qint64>(count, 0, m_length - from);
    if (count == 0)
        return;
    const qint64 to = from + count;
    const size_t first = chunkAt(from);
    const size_t last = chunkAt(to - 1);
    const Chunk& head = m_chunks[first];
    const Chunk& tail = m_chunks[last];
    const QString merged = chunkString(head.latin, head.wide, head.isWide)
                               .left(qsizetype(from - m_chunkStarts[first]))
        + chunkString(tail.latin, tail.wide, tail.isWide).mid(qsizetype(to - m_chunkStarts[last]));
    replaceChunks(first, last + 1, merged);
    relayoutAfterEdit(from, count, 0);
}

void ViewText::clear()
{
    std::vector<Chunk>().swap(m_chunks);
    std::vector<qint64>().swap(m_chunkStarts);
    std::vector<qint64>({ 0 }).swap(m_rows);
    m_length = 0;
    m_lastChunk = 0;
    startRow(0, 0);
    m_stateValid = true;
}

qint64 ViewText::memoryUsed() const
{
    qint64 bytes = qint64(m_chunks.capacity() * sizeof(Chunk))
        + qint64(m_chunkStarts.capacity() * sizeof(qint64))
        + qint64(m_rows.capacity() * sizeof(qint64));
    for (const Chunk& chunk : m_chunks)
        bytes += chunk.isWide ? chunk.wide.capacity() * 2 : chunk.latin.capacity();
    return bytes;
}

// ---- rows

ViewText::Fixed ViewText::advanceOf(char32_t c) const
{
    if (c < 256)
        return m_latin1[c];
    const auto measure = [this](char32_t u) { return m_measure ? toFixed(m_measure(u)) : 0; };
    if (c < 0x10000) {
        if (!m_bmp) {
            m_bmp.reset(new qint32[0x10000]);
            std::fill_n(m_bmp.get(), 0x10000, -1);
        }
        qint32& advance = m_bmp[c];
        if (advance < 0)
            advance = qint32(measure(c));
        return advance;
    }
    const auto it = m_astral.constFind(c);
    if (it != m_astral.constEnd())
        return *it;
    const Fixed advance = measure(c);
    m_astral.insert(c, advance);
    return advance;
}

ViewText::Fixed ViewText::tabAdvance(Fixed x) const
{
    return m_tabWidth > 0 ? (x / m_tabWidth + 1) * m_tabWidth - x : 0;
}

void ViewText::startRow(qint64 start, char16_t previous)
{
    m_rowStart = start;
    m_x = 0;
    m_breakPos = -1;
    m_xAtBreak = 0;
    m_prev = previous;
}

// Once a re-laid row starts where an old row started, with the character before it and everything
// after it untouched by the edit, every later row is the old one moved by the edit's size. (A row
// after a CR that an LF will join never matches: the old text had that LF too.)
bool ViewText::tryConverge(qint64 start)
{
    if (start < m_convergeFrom)
        return false;
    const qint64 old = start - m_delta;
    const auto it = std::lower_bound(m_oldRows.begin(), m_oldRows.end(), old);
    if (it == m_oldRows.end() || *it != old)
        return false;
    m_rows.reserve(m_rows.size() + size_t(m_oldRows.end() - it - 1));
    for (auto next = it + 1; next != m_oldRows.end(); ++next)
        m_rows.push_back(*next + m_delta);
    m_converged = true;
    return true;
}

// Lays out characters that continue the current row; false when it stopped early (converged).
// The row's state stays in locals while the characters stream through.
template <typename Ch> bool ViewText::wrap(const Ch* data, qsizetype count, qint64 pos)
{
    const Fixed width = m_wrapWidth;
    Fixed x = m_x;
    qint64 rowStart = m_rowStart;
    qint64 breakPos = m_breakPos;
    Fixed xAtBreak = m_xAtBreak;
    char16_t prev = m_prev;
    const auto save = [&] {
        m_x = x;
        m_rowStart = rowStart;
        m_breakPos = breakPos;
        m_xAtBreak = xAtBreak;
        m_prev = prev;
    };
    // Starts a row; true when the rows have caught up with the old ones.
    const auto push = [&](qint64 start) {
        m_rows.push_back(start);
        rowStart = start;
        breakPos = -1;
        return m_converging && tryConverge(start);
    };
    // Makes room for a character of the given advance that begins at `cluster`.
    const auto fit = [&](Fixed advance, qint64 cluster) {
        if (width <= 0 || x + advance <= width || cluster <= rowStart)
            return false;
        qint64 start = cluster;
        if (breakPos > rowStart) {
            start = breakPos;
            x -= xAtBreak;
        } else {
            x = 0;
        }
        if (push(start))
            return true;
        if (x + advance > width && cluster > rowStart) {
            // The run alone is longer than a row: break inside it.
            x = 0;
            return push(cluster);
        }
        return false;
    };

    for (qsizetype k = 0; k < count; ++k) {
        const char16_t c = char16_t(data[k]);
        const char16_t before = prev;
        const qint64 i = pos + k;
        prev = c;
        const CharClass kind = c < 0x100 ? latin1Classes.kinds[c] : CharClass::Other;
        if (kind == CharClass::Plain) {
            // Printable ASCII other than the blank: the bulk of what arrives. Within Latin-1
            // data only the first character can follow an ideograph.
            const Fixed advance = m_latin1[c];
            if ((sizeof(Ch) > 1 || k == 0) && before >= 0x2E80 && i > rowStart
                && breaksAfter(before)) {
                breakPos = i;
                xAtBreak = x;
            }
            if (x + advance > width && fit(advance, i))
                return false;
            x += advance;
            continue;
        }
        if (kind == CharClass::Space) {
            // Blanks hang at the end of a row, however many there are.
            x += m_latin1[c];
            breakPos = i + 1;
            xAtBreak = x;
            continue;
        }
        if (c == u'\n' && before == u'\r' && m_rows.back() == i) {
            // The LF completes the CR before it: one break, the row starts after both.
            m_rows.back() = i + 1;
            rowStart = i + 1;
            x = 0;
            breakPos = -1;
            if (m_converging && tryConverge(i + 1))
                return false;
            continue;
        }
        if (c == u'\r' || c == u'\n') {
            x = 0;
            if (push(i + 1))
                return false;
            continue;
        }
        if (c == u'\t') {
            x += tabAdvance(x);
            breakPos = i + 1;
            xAtBreak = x;
            continue;
        }

        Fixed advance = 0;
        char32_t code = c;
        qint64 cluster = i;
        if (c < 0x100) {
            advance = m_latin1[c];
        } else if (QChar::isHighSurrogate(c)) {
            code = 0; // measured with its low half
        } else if (QChar::isLowSurrogate(c) && QChar::isHighSurrogate(before)) {
            code = QChar::surrogateToUcs4(before, c);
            cluster = i - 1;
            advance = advanceOf(code);
        } else {
            advance = advanceOf(c);
        }
        if (cluster > rowStart && (breaksAfter(before) || breaksBefore(code))
            && !isClosingPunctuation(code) && !isOpeningPunctuation(before)) {
            breakPos = cluster;
            xAtBreak = x;
        }
        if (fit(advance, cluster))
            return false;
        x += advance;
    }
    save();
    return true;
}

void ViewText::relayoutAll()
{
    std::vector<qint64>({ 0 }).swap(m_rows);
    startRow(0, 0);
    forEachSpan(0, m_length,
        [this](const auto* data, qsizetype n, qint64 pos) { return wrap(data, n, pos); });
    m_stateValid = true;
}

void ViewText::ensureState()
{
    if (m_stateValid)
        return;
    const qint64 start = m_rows.back();
    startRow(start, at(start - 1));
    forEachSpan(start, m_length,
        [this](const auto* data, qsizetype n, qint64 pos) { return wrap(data, n, pos); });
    m_stateValid = true;
}

// The characters have changed at pos (removed old ones, inserted new ones); the rows still
// describe the old text. The row before the edit may change too: its last word may now fit.
void ViewText::relayoutAfterEdit(qint64 pos, qint64 removed, qint64 inserted)
{
    const qint64 row = std::max<qint64>(rowOf(pos) - 1, 0);
    m_oldRows.assign(m_rows.begin() + qptrdiff(row) + 1, m_rows.end());
    m_rows.resize(size_t(row) + 1);
    m_delta = inserted - removed;
    m_convergeFrom = pos + inserted + 1;
    m_converging = true;
    m_converged = false;
    const qint64 start = m_rows.back();
    startRow(start, at(start - 1));
    forEachSpan(start, m_length,
        [this](const auto* data, qsizetype n, qint64 from) { return wrap(data, n, from); });
    m_converging = false;
    m_stateValid = !m_converged;
    std::vector<qint64>().swap(m_oldRows);
}

qint64 ViewText::rowEnd(qint64 row) const
{
    return row + 1 < rowCount() ? m_rows[size_t(row) + 1] : m_length;
}

qint64 ViewText::rowContentEnd(qint64 row) const
{
    const qint64 end = rowEnd(row);
    if (row + 1 >= rowCount() || !isHardRowStart(row + 1))
        return end;
    if (end - 2 >= rowStart(row) && at(end - 1) == u'\n' && at(end - 2) == u'\r')
        return end - 2;
    return end - 1;
}

qint64 ViewText::rowOf(qint64 pos) const
{
    const auto it = std::upper_bound(m_rows.begin(), m_rows.end(), pos);
    return it == m_rows.begin() ? 0 : qint64(it - m_rows.begin()) - 1;
}

bool ViewText::isHardRowStart(qint64 row) const
{
    return row <= 0 || isLineBreak(at(m_rows[size_t(row)] - 1));
}

RowLayout ViewText::layoutRow(qint64 row, qreal maxX) const
{
    RowLayout layout;
    layout.start = rowStart(row);
    const qint64 end = rowEnd(row);
    const Fixed limit = toFixed(maxX);
    Fixed x = 0;
    char16_t prev = at(layout.start - 1);
    layout.x.push_back(0);
    for (qint64 pos = layout.start; pos < end && x <= limit;) {
        const QString block = mid(pos, std::min<qint64>(layoutBlock, end - pos));
        for (const QChar ch : block) {
            if (x > limit)
                break;
            const char16_t c = ch.unicode();
            Fixed advance = 0;
            if (isLineBreak(c) || QChar::isHighSurrogate(c))
                advance = 0;
            else if (c == u'\t')
                advance = tabAdvance(x);
            else if (QChar::isLowSurrogate(c) && QChar::isHighSurrogate(prev))
                advance = advanceOf(QChar::surrogateToUcs4(prev, c));
            else
                advance = advanceOf(c);
            x += advance;
            layout.chars.append(ch);
            layout.x.push_back(qreal(x) / 64.0);
            prev = c;
        }
        pos += block.size();
    }
    return layout;
}

// ---- caret stops and words

bool ViewText::isCaretStop(qint64 pos) const
{
    if (pos <= 0 || pos >= m_length)
        return true;
    const char16_t before = at(pos - 1);
    const char16_t after = at(pos);
    return !(before == u'\r' && after == u'\n')
        && !(QChar::isHighSurrogate(before) && QChar::isLowSurrogate(after));
}

qint64 ViewText::nextStop(qint64 pos) const
{
    qint64 next = std::min(pos + 1, m_length);
    while (next < m_length && !isCaretStop(next))
        ++next;
    return next;
}

qint64 ViewText::previousStop(qint64 pos) const
{
    qint64 previous = std::max<qint64>(pos - 1, 0);
    while (previous > 0 && !isCaretStop(previous))
        --previous;
    return previous;
}

qint64 ViewText::nextWordStart(qint64 pos) const
{
    if (pos >= m_length)
        return m_length;
    if (isLineBreak(at(pos)))
        return nextStop(pos);
    qint64 next = pos;
    while (next < m_length && isWordChar(at(next)))
        ++next;
    while (next < m_length && isBlank(at(next)))
        ++next;
    return next;
}

qint64 ViewText::previousWordStart(qint64 pos) const
{
    if (pos <= 0)
        return 0;
    if (isLineBreak(at(pos - 1)))
        return previousStop(pos);
    qint64 previous = pos;
    while (previous > 0 && isBlank(at(previous - 1)))
        --previous;
    while (previous > 0 && isWordChar(at(previous - 1)))
        --previous;
    return previous;
}

std::pair<qint64, qint64> ViewText::wordAround(qint64 pos) const
{
    pos = std::clamp<qint64>(pos, 0, m_length);
    if (pos == m_length || isLineBreak(at(pos))) {
        if (pos == 0 || isLineBreak(at(pos - 1)))
            return { pos, pos };
        --pos;
    }
    const bool word = isWordChar(at(pos));
    const auto same = [&](char16_t c) { return word ? isWordChar(c) : isBlank(c); };
    qint64 from = pos;
    qint64 to = pos + 1;
    while (from > 0 && same(at(from - 1)))
        --from;
    while (to < m_length && same(at(to)))
        ++to;
    return { from, to };
}
