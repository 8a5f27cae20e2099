// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// What a server sends, cut at arbitrary places, must read exactly as it reads whole; whatever it
// sends, the answers stay within one per option and side, the data never outgrows the input and no
// reply outgrows the subnegotiation bound. The same bytes as a URL, when they parse, must parse
// again from the text made of them.
#include "port/remoteurl.h"
#include "port/telnetcodec.h"

#include <cstdint>
#include <cstdlib>

namespace {

bool same(const TelnetCodec::Read& a, const TelnetCodec::Read& b)
{
    return a.data == b.data && a.answer == b.answer && a.replies == b.replies;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    unsigned seed = data[0];
    const QByteArray input(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    TelnetCodec whole;
    TelnetCodec::Read expected;
    whole.feed(input, expected);
    if (expected.data.size() > input.size() || expected.answer.size() > 2 * 256 * 3)
        std::abort();
    for (const TelnetCodec::Reply& reply : std::as_const(expected.replies))
        if (reply.value.size() >= TelnetCodec::maxSubnegotiation)
            std::abort();

    TelnetCodec pieces;
    TelnetCodec::Read joined;
    qsizetype at = 0;
    while (at < input.size()) {
        seed = seed * 1103515245u + 12345u;
        const qsizetype length = qMin<qsizetype>(input.size() - at, 1 + (seed >> 16) % 9);
        pieces.feed(input.mid(at, length), joined);
        at += length;
    }
    if (!same(joined, expected) || pieces.comPort() != whole.comPort())
        std::abort();

    if (const std::optional<RemoteUrl> url = RemoteUrl::parse(QString::fromLatin1(input))) {
        const std::optional<RemoteUrl> again = RemoteUrl::parse(url->toString());
        if (!again || again->toString() != url->toString() || url->port == 0)
            std::abort();
    }
    return 0;
}
