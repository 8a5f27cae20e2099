// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QSerialPort>
#include <QString>

// Why a port would not open, in the user's words. The warning boxes keep their fixed texts; this
// is the reason behind them, for the status tooltip and standard error.
namespace OpenFailure {

enum class Reason { None, NoDevice, NoPermission, Busy, SettingsRefused, Other };

// From what the serial layer said and what the device file shows. On Linux a refusal to open
// is mostly the user missing from the dialout group; a port another program holds comes back as
// the same error, told apart by whether the file itself is readable and writable.
Reason classify(QSerialPort::SerialPortError error, const QString& devicePath);
QString text(Reason reason);

} // namespace OpenFailure
