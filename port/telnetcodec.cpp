// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "port/telnetcodec.h"

#include <algorithm>
#include <cstring>

namespace {

const char* findIac(const char* from, const char* end)
{
    return static_cast<const char*>(std::memchr(from, TelnetCodec::Iac, size_t(end - from)));
}

QByteArray said(unsigned char verb, unsigned char option)
{
    const char bytes[] = { char(TelnetCodec::Iac), char(verb), char(option) };
    return QByteArray(bytes, 3);
}

} // namespace

// What the opening says needs no answer when the server agrees.
TelnetCodec::TelnetCodec()
{
    m_answeredOurs.set(ComPortOption).set(Binary);
    m_answeredTheirs.set(Binary);
}

QByteArray TelnetCodec::opening()
{
    return said(Will, ComPortOption) + said(Will, Binary) + said(Do, Binary);
}

QByteArray TelnetCodec::escaped(const QByteArray& data)
{
    const char* end = data.constEnd();
    const char* iac = findIac(data.constBegin(), end);
    if (!iac)
        return data;
    QByteArray wire;
    wire.reserve(data.size() + data.size() / 16 + 1);
    const char* from = data.constBegin();
    while (iac) {
        wire.append(from, iac - from + 1).append(char(Iac));
        from = iac + 1;
        iac = findIac(from, end);
    }
    return wire.append(from, end - from);
}

QByteArray TelnetCodec::command(ComPortCommand command, const QByteArray& value)
{
    const char head[] = { char(Iac), char(Sb), char(ComPortOption), char(command) };
    const char tail[] = { char(Iac), char(Se) };
    return QByteArray(head, 4) + escaped(value) + QByteArray(tail, 2);
}

void TelnetCodec::feed(const QByteArray& bytes, Read& into)
{
    const char* p = bytes.constBegin();
    const char* const end = bytes.constEnd();
    if (m_state == State::Data && into.data.isEmpty() && !findIac(p, end)) {
        into.data = bytes;
        return;
    }
    while (p < end) {
        switch (m_state) {
        case State::Data: {
            const char* iac = findIac(p, end);
            const char* stop = iac ? iac : end;
            into.data.append(p, stop - p);
            p = stop;
            if (iac) {
                m_state = State::Iac;
                ++p;
            }
            break;
        }
        case State::Iac: {
            const auto c = static_cast<unsigned char>(*p++);
            m_state = State::Data;
            if (c == Iac)
                into.data.append(char(Iac));
            else if (c >= Will && c <= Dont)
                m_verb = c, m_state = State::Negotiation;
            else if (c == Sb)
                m_state = State::SbOption;
            // Anything else (NOP, GA, a data mark, a stray SE) asks nothing of a client.
            break;
        }
        case State::Negotiation:
            negotiate(m_verb, static_cast<unsigned char>(*p++), into.answer);
            m_state = State::Data;
            break;
        case State::SbOption:
            m_sbOption = static_cast<unsigned char>(*p++);
            m_sb.clear();
            m_state = State::SbData;
            break;
        case State::SbData: {
            const char* iac = findIac(p, end);
            const char* stop = iac ? iac : end;
            const qsizetype room = maxSubnegotiation - m_sb.size();
            if (stop - p > room) {
                // Too long to be one of ours: dropped, and the rest is data again.
                p += room;
                m_sb.clear();
                m_state = State::Data;
                break;
            }
            m_sb.append(p, stop - p);
            p = stop;
            if (iac) {
                m_state = State::SbIac;
                ++p;
            }
            break;
        }
        case State::SbIac: {
            const auto c = static_cast<unsigned char>(*p);
            if (c == Se) {
                ++p;
                endSubnegotiation(into);
                m_state = State::Data;
            } else if (c == Iac && m_sb.size() < maxSubnegotiation) {
                ++p;
                m_sb.append(char(Iac));
                m_state = State::SbData;
            } else {
                // An unterminated subnegotiation: it is dropped and the byte read as a command.
                m_sb.clear();
                m_state = State::Iac;
            }
            break;
        }
        }
    }
}

void TelnetCodec::negotiate(unsigned char verb, unsigned char option, QByteArray& answer)
{
    const bool asksUs = verb == Do || verb == Dont;
    if (option == ComPortOption && asksUs)
        m_comPort = verb == Do ? ComPort::Agreed : ComPort::Refused;
    // A refusal needs no answer: the option stays off on both sides.
    if (verb == Wont || verb == Dont)
        return;
    std::bitset<256>& answered = asksUs ? m_answeredOurs : m_answeredTheirs;
    if (answered.test(option))
        return;
    answered.set(option);
    const bool wanted
        = option == Binary || option == SuppressGoAhead || (asksUs && option == ComPortOption);
    answer += said(asksUs ? (wanted ? Will : Wont) : (wanted ? Do : Dont), option);
}

void TelnetCodec::endSubnegotiation(Read& into)
{
    if (m_sbOption != ComPortOption || m_sb.isEmpty()
        || static_cast<unsigned char>(m_sb.at(0)) < serverOffset)
        return;
    into.replies.append({ static_cast<unsigned char>(m_sb.at(0) - serverOffset), m_sb.mid(1) });
}
