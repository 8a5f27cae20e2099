#include "port/comnames.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>
#include <tuple>

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

} // namespace

namespace ComNames {

QString devicesFolder()
{
    // A relative XDG_CONFIG_HOME is invalid and is ignored, as the XDG rules say.
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || QDir::isRelativePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/portlark/devices");
}

QString resolve(int port)
{
    if (port <= 0)
        return {};
    QStringList present;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports)
        present.append(info.systemLocation());
    return resolve(port, present);
}

QString resolve(int port, const QStringList& presentPaths)
{
    if (port <= 0)
        return {};
    const QFileInfo link(devicesFolder() + QStringLiteral("/com") + QString::number(port));
    if (link.isSymLink() || link.exists())
        return link.exists() ? link.canonicalFilePath() : QString();
    const QStringList ordered = orderPresent(presentPaths);
    if (port > ordered.size())
        return {};
    return ordered.at(port - 1);
}

QStringList orderPresent(const QStringList& names)
{
    QList<std::pair<PortKey, QString>> keyed;
    keyed.reserve(names.size());
    for (const QString& name : names)
        keyed.append({ keyOf(name), name });
    std::stable_sort(keyed.begin(), keyed.end(),
        [](const auto& left, const auto& right) { return left.first < right.first; });
    QStringList ordered;
    ordered.reserve(keyed.size());
    for (const auto& entry : keyed)
        ordered.append(entry.second);
    return ordered;
}

} // namespace ComNames
