// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QList>

#include <bitset>

// The client side of a telnet connection with the COM port option (RFC 854, 856 and 2217), as a
// state machine that takes what the network delivers in any pieces: a command or a subnegotiation
// cut across two reads costs nothing. It knows nothing of sockets.
//
// It asks for BINARY both ways and offers COM-PORT-OPTION; it agrees to SUPPRESS-GO-AHEAD, which
// servers offer, and refuses every other option. It answers an option once at most for each side,
// so a server that repeats or floods negotiations gets no flood back. A subnegotiation longer than
// maxSubnegotiation is dropped and what follows is read as data again, so an unterminated one
// cannot hold the data back nor grow memory.
class TelnetCodec {
public:
    enum Byte : unsigned char {
        Se = 240,
        Sb = 250,
        Will = 251,
        Wont = 252,
        Do = 253,
        Dont = 254,
        Iac = 255,
    };
    enum Option : unsigned char { Binary = 0, SuppressGoAhead = 3, ComPortOption = 44 };
    // COM-PORT-OPTION commands as the client sends them; a server's reply adds serverOffset.
    enum ComPortCommand : unsigned char {
        Signature = 0,
        SetBaudRate = 1,
        SetDataSize = 2,
        SetParity = 3,
        SetStopSize = 4,
        SetControl = 5,
        NotifyLineState = 6,
        NotifyModemState = 7,
        FlowControlSuspend = 8,
        FlowControlResume = 9,
        SetLineStateMask = 10,
        SetModemStateMask = 11,
        PurgeData = 12,
    };
    static constexpr unsigned char serverOffset = 100;
    static constexpr int maxSubnegotiation = 64;

    // A COM-PORT-OPTION subnegotiation from the server: its command less serverOffset and value.
    struct Reply {
        unsigned char command = 0;
        QByteArray value;
        bool operator==(const Reply& other) const
        {
            return command == other.command && value == other.value;
        }
    };
    // What one piece held: the data bytes, what to send back, the server's replies.
    struct Read {
        QByteArray data;
        QByteArray answer;
        QList<Reply> replies;
    };

    // What the client says first.
    static QByteArray opening();
    // Data as it goes on the wire: every 0xFF doubled. Shared, not copied, when there is none.
    static QByteArray escaped(const QByteArray& data);
    // IAC SB COM-PORT-OPTION command value IAC SE, the value escaped.
    static QByteArray command(ComPortCommand command, const QByteArray& value);

    TelnetCodec();
    // Appends to `into`. The data of a piece with no command in it is the piece itself, shared.
    void feed(const QByteArray& bytes, Read& into);
    // Whether the server agreed to the COM port option, refused it, or has not said.
    enum class ComPort { Unanswered, Agreed, Refused };
    ComPort comPort() const { return m_comPort; }

private:
    enum class State { Data, Iac, Negotiation, SbOption, SbData, SbIac };
    void negotiate(unsigned char verb, unsigned char option, QByteArray& answer);
    void endSubnegotiation(Read& into);

    State m_state = State::Data;
    unsigned char m_verb = 0;
    unsigned char m_sbOption = 0;
    QByteArray m_sb;
    ComPort m_comPort = ComPort::Unanswered;
    // Which options have been answered, per side, so that each is answered once.
    std::bitset<256> m_answeredOurs;
    std::bitset<256> m_answeredTheirs;
};
