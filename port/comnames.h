// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// What tells one device from another when it is unplugged and plugged in again: the target of a
// "comN" link as written (a stable name such as /dev/serial/by-id/usb-FTDI… stays the same when
// the adapter comes back on another ttyUSB number), else the USB vendor, product and serial
// number, else the system name (ttyUSB0).
struct DeviceIdentity {
    enum class Kind { None, Link, Usb, Name };
    Kind kind = Kind::None;
    QString key; // the link target, "0403:6001 A10K1234" or "ttyUSB0"

    bool isNull() const { return kind == Kind::None; }
    // For the user: the link target, "USB 0403:6001 A10K1234" or "ttyUSB0".
    QString description() const;
    bool operator==(const DeviceIdentity& other) const
    {
        return kind == other.kind && key == other.key;
    }
    bool operator!=(const DeviceIdentity& other) const { return !(*this == other); }
};

// Where COMn is: the device to open and what it is. A null path when the port is absent.
struct ComDevice {
    QString path;
    DeviceIdentity identity;
};

// A serial port the system reports; vendor and product are -1 where it does not say.
struct PresentPort {
    QString path;
    int vendor = -1;
    int product = -1;
    QString serialNumber;
};

// Where COMn lives on this system. Resolution order: a link "comN" in the devices folder, then the
// n-th serial port the system reports as present, else absent. Port 0 is always absent. A link
// may hold a URL instead of a path ("rfc2217://lab-pi:7777", port/remoteurl.h): the port is then
// that URL, present without a look at the network, and known by it.
namespace ComNames {

// $XDG_CONFIG_HOME/portlark/devices (~/.config/portlark/devices by default).
QString devicesFolder();
ComDevice locate(int port);
// The same, choosing among the given present ports (already in any order) instead of the ports
// the system reports. An entry "comN" in the devices folder pins the number: a link whose device
// is gone makes the port absent rather than handing its number to another device.
ComDevice locate(int port, const QList<PresentPort>& present);
// Present port names put in COM order: ttyS* by number, then the USB ports (ttyUSB* by number,
// then ttyACM* by number), then the rest by name and number. Names may be full paths; only the
// last part counts.
QStringList orderPresent(const QStringList& names);

// Makes comN in the devices folder a link to `target` (a device or a URL), replacing a link there,
// or removes the link when `target` is empty. Why not, in the user's words; empty when done. A file
// there that is not a link is left alone.
QString writeLink(int port, const QString& target);
// The COM number that names `url` for this run only (--com with a URL): one whose link names it
// already, else the lowest from 1 to 99 with no link and beyond the present ports; 0 when every
// number is taken. Nothing is written.
int bindForRun(const QString& url);

} // namespace ComNames
