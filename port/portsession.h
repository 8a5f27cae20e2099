#pragma once

#include "port/message.h"
#include "port/portsettings.h"

class SerialComponent;

// What the window shows once a port step is done: first the message, if any, then the status
// line (a null text leaves it) and, unless left, the switch caption and lamp of the state.
struct PortView {
    enum class Lamp { Unchanged, Open, Closed };
    Message message;
    QString status;
    Lamp lamp = Lamp::Unchanged;
};

// Opening, re-opening and closing the port from the five setting boxes' texts. The open state is
// the serial component's alone; every step asks it afresh. The start-up open and the re-open take
// one path and differ only where they must: the start-up sets the buffers and thresholds, reports
// failure with message A (OK and Cancel) and leaves the caption and lamp as built on success; a
// re-open reports with message B and shows the state it reached.
class PortSession {
public:
    explicit PortSession(SerialComponent& serial)
        : m_serial(serial)
    {
    }

    // Start-up: closes the port if open and opens what the boxes show.
    PortView start(const SelectionTexts& boxes);
    // A pick in any setting box: re-opens with all five, open or closed before. Texts that cannot
    // be converted are named in a warning and the port is left as it was.
    PortView pick(const SelectionTexts& boxes);
    // The switch: closes an open port, else opens what the boxes show (ending silently when they
    // cannot be converted).
    PortView toggle(const SelectionTexts& boxes);
    // Also after the device went away.
    PortView close();

private:
    enum class Opening { StartUp, Apply };
    PortView open(Opening opening, const PortArguments& arguments, const SelectionTexts& boxes);
    void closeIfOpen();

    SerialComponent& m_serial;
};
