#pragma once

#include <QString>
#include <QStringList>

// Where COMn lives on this system. Resolution order: a link "comN" in the devices folder, then the
// n-th serial port the system reports as present, else absent. Port 0 is always absent.
namespace ComNames {

// $XDG_CONFIG_HOME/portlark/devices (~/.config/portlark/devices by default).
QString devicesFolder();
// The device path COMn resolves to, or an empty string when it is absent.
QString resolve(int port);
// Present port names put in COM order: ttyS* by number, then ttyUSB*/ttyACM* by number, then the
// rest by name.
QStringList orderPresent(const QStringList& names);

} // namespace ComNames
