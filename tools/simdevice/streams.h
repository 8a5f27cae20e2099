// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The bulk data the simulated device sends, and the hash it reports, so that whoever checks the
// other end can produce the same bytes without talking to the device.

#include <cstddef>
#include <cstdint>

namespace SimStreams {

// FNV-1a, 64 bits.
class Fnv1a64 {
public:
    void add(const char* data, std::size_t size)
    {
        for (std::size_t i = 0; i < size; ++i) {
            m_hash ^= static_cast<unsigned char>(data[i]);
            m_hash *= 0x100000001b3ull;
        }
    }
    std::uint64_t value() const { return m_hash; }

private:
    std::uint64_t m_hash = 0xcbf29ce484222325ull;
};

// Text: lines of 80 printable ASCII characters ('!' to '~', shifting by one each line), each
// followed by CR LF. Byte `index` of the stream:
inline char textByte(std::uint64_t index)
{
    constexpr std::uint64_t lineLength = 82;
    const std::uint64_t line = index / lineLength;
    const std::uint64_t column = index % lineLength;
    if (column == 80)
        return '\r';
    if (column == 81)
        return '\n';
    return static_cast<char>('!' + (line + column) % 94);
}

// Binary: splitmix64 from a fixed seed, each value giving 8 bytes, lowest first.
class BinaryStream {
public:
    void fill(char* out, std::size_t size)
    {
        for (std::size_t i = 0; i < size; ++i) {
            if (m_used == 8) {
                m_value = next();
                m_used = 0;
            }
            out[i] = static_cast<char>((m_value >> (8 * m_used++)) & 0xFF);
        }
    }

private:
    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }

    std::uint64_t m_state = 0x504f52544c41524bull; // fixed seed
    std::uint64_t m_value = 0;
    int m_used = 8;
};

} // namespace SimStreams
