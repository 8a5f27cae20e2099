// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "port/serialbackend.h"
#include "receive/protocolview.h"
#include "send/sendpath.h"

#include <QRect>
#include <QString>

// The choices kept from one run to the next, each with its default. The start-up port and its
// settings, the check boxes and the send box are not among them: every start is the same.
struct Options {
    bool dtr = true;
    bool rts = true;
    FlowControl flow = FlowControl::None;
    QString logFolder; // where the capture log's file dialog starts; empty: the dialog's own choice
    static constexpr int minFontPoints = 6;
    static constexpr int maxFontPoints = 48;
    int fontPoints = 0; // the receive and send boxes' text size; 0: the window's
    // The receive display's time stamps, idle gap that starts a line (0: none, else one of
    // ProtocolFormatter::frameChoices), hexadecimal character column and sent lines.
    bool timestamps = false;
    int frameMs = 0;
    bool hexChars = false;
    bool showSent = false;
    Modbus::Mode decode = Modbus::Mode::Off; // 协议解析
    QString encoding; // of text both ways, one of CodePage::choices(); empty: the system code page
    LineEnding lineEnding = LineEnding::None; // added to the send box's text sends
    QRect commandsGeometry; // the 快捷发送 window's; empty: the window system places it

    struct Loaded;
    // $XDG_CONFIG_HOME/portlark/portlark.conf, beside the devices folder.
    static QString defaultPath();
    // What the file holds: a missing file or key, or a value that is not one of its key's, reads
    // as the default. Reading never writes. Once a run: QSettings keeps what it read of a file for
    // the process and does not read it again while it is unchanged.
    static Loaded load(const QString& path);
    // Every choice, over what the file held; false when it could not be written.
    bool save(const QString& path) const;
};

struct Options::Loaded {
    Options options;
    // Why the file could not be read at all (it is not INI, or not readable); the options are
    // then the defaults.
    QString problem;
};
