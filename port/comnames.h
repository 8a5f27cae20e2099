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
// The same, choosing among the given present device paths (already in any order) instead of the
// ports the system reports. An entry "comN" in the devices folder pins the number: a link whose
// device is gone makes the port absent rather than handing its number to another device.
QString resolve(int port, const QStringList& presentPaths);
// Present port names put in COM order: ttyS* by number, then the USB ports (ttyUSB* by number,
// then ttyACM* by number), then the rest by name and number. Names may be full paths; only the
// last part counts.
QStringList orderPresent(const QStringList& names);

} // namespace ComNames
