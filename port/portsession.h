// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "port/devicewatch.h"
#include "port/message.h"
#include "port/portsettings.h"

#include <optional>

class SerialComponent;

// What the window shows once a port step is done: first the message, if any, then the status
// line (a null text leaves it) and, unless left, the switch caption and lamp of the state.
struct PortView {
    enum class Lamp { Unchanged, Open, Closed };
    Message message;
    QString status;
    Lamp lamp = Lamp::Unchanged;
    // Why an open failed, for standard error: told once, so null where no open was tried or a
    // re-open failed as the one before it did; empty after an open that worked.
    QString reason;
};

// Opening, re-opening and closing the port from the five setting boxes' texts. The open state is
// the serial component's alone; every step asks it afresh. The start-up open and the re-open take
// one path and differ only where they must: the start-up sets the buffers and thresholds, reports
// failure with message A (OK and Cancel) and leaves the caption and lamp as built on success; a
// re-open reports with message B and shows the state it reached.
//
// After the device of an open port goes away (not after the user closed it), the session watches
// for the port to resolve to that same device again (see DeviceWatch) and then re-opens it as it
// was; any other port step ends the watch. A periodic send must never go on into another device.
class PortSession {
public:
    explicit PortSession(SerialComponent& serial);

    // Start-up: closes the port if open and opens what the boxes show.
    PortView start(const SelectionTexts& boxes);
    // A pick in any setting box: re-opens with all five, open or closed before. Texts that cannot
    // be converted are named in a warning and the port is left as it was.
    PortView pick(const SelectionTexts& boxes);
    // The switch: closes an open port, else opens what the boxes show (ending silently when they
    // cannot be converted).
    PortView toggle(const SelectionTexts& boxes);
    PortView close();
    // The device went away: the closed state, and the watch for its return starts.
    PortView lost();
    // The watch saw the device again: re-opens with the settings it had and shows the open state
    // as the switch would. A refused open goes on watching and shows nothing but the reason; so
    // does an open that found another device by then, closed again at once.
    PortView returned();
    // An open that had worked could not be finished (a remote port's connection failed): the
    // closed state with the reason. After a re-open by the watch, the watch goes on.
    PortView failed();
    // Quit: the port closes and the watch ends.
    void end();
    // returned() is called on its signal.
    DeviceWatch& watch() { return m_watch; }
    // While watching: "等待 COM3 原设备 (USB 0403:6001 A10K1234) 重新连接", the port as the boxes
    // named it; else empty.
    QString waitingText() const;
    // Why the last open failed; empty once one worked.
    QString lastFailure() const { return m_failure; }

private:
    enum class Opening { StartUp, Apply };
    PortView open(Opening opening, const PortArguments& arguments, const SelectionTexts& boxes);
    void closeIfOpen();
    PortView told(PortView view);

    SerialComponent& m_serial;
    DeviceWatch m_watch;
    struct Opened {
        PortArguments arguments;
        SelectionTexts boxes;
        DeviceIdentity device;
    };
    std::optional<Opened> m_lastOpened;
    bool m_reopened = false; // the open port is the watch's re-open
    QString m_failure;
};
