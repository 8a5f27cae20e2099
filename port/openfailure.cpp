// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "port/openfailure.h"

#include <QFileInfo>

namespace OpenFailure {

Reason classify(QSerialPort::SerialPortError error, const QString& devicePath)
{
    const QFileInfo device(devicePath);
    if (devicePath.isEmpty() || !device.exists())
        return Reason::NoDevice;
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return Reason::NoDevice;
    case QSerialPort::PermissionError:
        return device.isReadable() && device.isWritable() ? Reason::Busy : Reason::NoPermission;
    case QSerialPort::UnsupportedOperationError:
        return Reason::SettingsRefused;
    default:
        return Reason::Other;
    }
}

QString text(Reason reason)
{
    switch (reason) {
    case Reason::None:
        return {};
    case Reason::NoDevice:
        return QStringLiteral("设备不存在");
    case Reason::NoPermission:
        return QStringLiteral("权限不足：请把用户加入 dialout 组后重新登录");
    case Reason::Busy:
        return QStringLiteral("设备正被占用");
    case Reason::SettingsRefused:
        return QStringLiteral("设备不支持这些串口参数");
    case Reason::Other:
        break;
    }
    return QStringLiteral("设备无法打开");
}

} // namespace OpenFailure
