// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "port/comnames.h"

#include "port/remoteurl.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSerialPortInfo>

#include <algorithm>
#include <climits>
#include <optional>
#include <tuple>
#include <unistd.h>

namespace {

struct PortKey {
    int group; // 0 on-board, 1 USB serial, 2 USB modem class, 3 anything else
    QString prefix;
    qint64 number; // trailing number, -1 without one
    QString name;

    bool operator<(const PortKey& other) const
    {
        return std::tie(group, prefix, number, name)
            < std::tie(other.group, other.prefix, other.number, other.name);
    }
};

PortKey keyOf(const QString& entry)
{
    const QString name = entry.mid(entry.lastIndexOf(QLatin1Char('/')) + 1);
    qsizetype digits = name.size();
    while (digits > 0 && name.at(digits - 1).isDigit())
        --digits;
    const QString prefix = name.left(digits);
    bool ok = false;
    const qint64 number = name.mid(digits).toLongLong(&ok);
    int group = 3;
    if (ok) {
        if (prefix == QLatin1String("ttyS"))
            group = 0;
        else if (prefix == QLatin1String("ttyUSB"))
            group = 1;
        else if (prefix == QLatin1String("ttyACM"))
            group = 2;
    }
    return { group, prefix, ok ? number : -1, name };
}

template <typename T, typename NameOf> QList<T> inComOrder(QList<T> items, NameOf nameOf)
{
    std::stable_sort(items.begin(), items.end(),
        [&](const T& left, const T& right) { return keyOf(nameOf(left)) < keyOf(nameOf(right)); });
    return items;
}

// One level only, as written: the stable name a link gives is the identity, not the ttyUSB number
// it leads to today. (QFile::symLinkTarget would hand back an absolute, cleaned path instead.)
QString linkTarget(const QString& link)
{
    QByteArray target(PATH_MAX, Qt::Uninitialized);
    const ssize_t length
        = ::readlink(QFile::encodeName(link).constData(), target.data(), size_t(target.size()));
    return length < 0 ? link : QFile::decodeName(target.left(length));
}

QString linkPath(int port)
{
    return ComNames::devicesFolder() + QStringLiteral("/com") + QString::number(port);
}

// What --com bound for this run, by COM number.
QHash<int, QString>& runBindings()
{
    static QHash<int, QString> bindings;
    return bindings;
}

// COMn as the devices folder has it, when it has a "comN" at all, else as this run bound it (a
// link made during the run wins).
std::optional<ComDevice> linked(int port)
{
    const QString path = linkPath(port);
    const QFileInfo link(path);
    if (!link.isSymLink() && !link.exists()) {
        if (const auto bound = runBindings().constFind(port); bound != runBindings().cend())
            return ComDevice { *bound, { DeviceIdentity::Kind::Link, *bound } };
        return std::nullopt;
    }
    if (link.isSymLink()) {
        // A URL is the whole of a link's text; it names no file.
        if (const QString target = linkTarget(path); RemoteUrl::isRemote(target))
            return ComDevice { target, { DeviceIdentity::Kind::Link, target } };
    }
    if (!link.exists())
        return ComDevice {};
    return ComDevice { link.canonicalFilePath(),
        { DeviceIdentity::Kind::Link, link.isSymLink() ? linkTarget(path) : path } };
}

ComDevice nthPresent(int port, const QList<PresentPort>& present)
{
    const QList<PresentPort> ordered
        = inComOrder(present, [](const PresentPort& entry) { return entry.path; });
    if (port > ordered.size())
        return {};
    const PresentPort& found = ordered.at(port - 1);
    if (found.vendor >= 0 && found.product >= 0 && !found.serialNumber.isEmpty())
        return { found.path,
            { DeviceIdentity::Kind::Usb,
                QStringLiteral("%1:%2 %3")
                    .arg(found.vendor, 4, 16, QLatin1Char('0'))
                    .arg(found.product, 4, 16, QLatin1Char('0'))
                    .arg(found.serialNumber) } };
    return { found.path,
        { DeviceIdentity::Kind::Name,
            found.path.mid(found.path.lastIndexOf(QLatin1Char('/')) + 1) } };
}

} // namespace

QString DeviceIdentity::description() const
{
    return kind == Kind::Usb ? QStringLiteral("USB ") + key : key;
}

namespace ComNames {

QString devicesFolder()
{
    // A relative XDG_CONFIG_HOME is invalid and is ignored, as the XDG rules say.
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || QDir::isRelativePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/portlark/devices");
}

// The system's ports are listed only when no link decides: listing them is most of what a watch
// for a lost device costs.
ComDevice locate(int port)
{
    if (port <= 0)
        return {};
    if (std::optional<ComDevice> device = linked(port))
        return *device;
    QList<PresentPort> present;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports)
        present.append(
            { info.systemLocation(), info.hasVendorIdentifier() ? int(info.vendorIdentifier()) : -1,
                info.hasProductIdentifier() ? int(info.productIdentifier()) : -1,
                info.serialNumber() });
    return nthPresent(port, present);
}

ComDevice locate(int port, const QList<PresentPort>& present)
{
    if (port <= 0)
        return {};
    if (std::optional<ComDevice> device = linked(port))
        return *device;
    return nthPresent(port, present);
}

QStringList orderPresent(const QStringList& names)
{
    return inComOrder(names, [](const QString& name) { return name; });
}

QString writeLink(int port, const QString& target)
{
    const QString path = linkPath(port);
    const QFileInfo existing(path);
    if (existing.exists() && !existing.isSymLink())
        return QStringLiteral("%1 不是链接，没有改动").arg(QDir::toNativeSeparators(path));
    if (!QDir().mkpath(devicesFolder()))
        return QStringLiteral("无法建立文件夹 %1").arg(QDir::toNativeSeparators(devicesFolder()));
    const QByteArray name = QFile::encodeName(path);
    if (existing.isSymLink() && ::unlink(name.constData()) != 0)
        return QStringLiteral("无法删除 %1").arg(QDir::toNativeSeparators(path));
    // symlink() keeps the text as given; QFile::link would make a URL into a path.
    if (!target.isEmpty()
        && ::symlink(QFile::encodeName(target).constData(), name.constData()) != 0)
        return QStringLiteral("无法写入链接 %1").arg(QDir::toNativeSeparators(path));
    return {};
}

int bindForRun(const QString& url)
{
    int present = -1;
    for (int port = 1; port <= 99; ++port) {
        const std::optional<ComDevice> device = linked(port);
        if (device && device->identity.key == url)
            return port;
    }
    for (int port = 1; port <= 99; ++port) {
        if (linked(port))
            continue;
        if (present < 0)
            present = int(QSerialPortInfo::availablePorts().size());
        if (port > present) {
            runBindings().insert(port, url);
            return port;
        }
    }
    return 0;
}

} // namespace ComNames
