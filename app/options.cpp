// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/options.h"

#include "port/codepage.h"
#include "port/comnames.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>

#include <algorithm>
#include <iterator>

namespace {

const QString dtrKey = QStringLiteral("line/dtr");
const QString rtsKey = QStringLiteral("line/rts");
const QString flowKey = QStringLiteral("line/flow");
const QString logFolderKey = QStringLiteral("log/folder");
const QString fontPointsKey = QStringLiteral("view/font-points");
const QString timestampsKey = QStringLiteral("view/timestamps");
const QString frameMsKey = QStringLiteral("view/frame-ms");
const QString hexCharsKey = QStringLiteral("view/hex-chars");
const QString showSentKey = QStringLiteral("view/show-sent");
const QString decodeKey = QStringLiteral("view/decode");
// As written in the file, in the order of Modbus::Mode.
const QString decodeNames[]
    = { QStringLiteral("none"), QStringLiteral("modbus-rtu"), QStringLiteral("modbus-ascii") };
const QString encodingKey = QStringLiteral("text/encoding");
const QString lineEndingKey = QStringLiteral("send/line-ending");
const QString commandsGeometryKey = QStringLiteral("commands/geometry");

// As written in the file, in the order of LineEnding.
const QString endingNames[] = { QStringLiteral("none"), QStringLiteral("cr"), QStringLiteral("lf"),
    QStringLiteral("crlf") };

// As written in the file, in the order of FlowControl.
const QString flowNames[]
    = { QStringLiteral("none"), QStringLiteral("rts-cts"), QStringLiteral("xon-xoff") };

// A setting as text; none for a list or bytes, which no setting of ours is. (What this process
// wrote itself reads back with the type it was written with.)
QString text(const QSettings& settings, const QString& key)
{
    const QVariant value = settings.value(key);
    const int type = value.typeId();
    return type == QMetaType::QString || type == QMetaType::Bool ? value.toString() : QString();
}

void readFlag(const QSettings& settings, const QString& key, bool& flag)
{
    const QString value = text(settings, key);
    if (value == QLatin1String("true") || value == QLatin1String("false"))
        flag = value == QLatin1String("true");
}

} // namespace

QString Options::defaultPath()
{
    return QFileInfo(ComNames::devicesFolder()).path() + QStringLiteral("/portlark.conf");
}

Options::Loaded Options::load(const QString& path)
{
    Loaded loaded;
    QFile file(path);
    if (file.exists() && !file.open(QIODevice::ReadOnly)) {
        loaded.problem = file.errorString();
        return loaded;
    }
    file.close();
    // Only read from: with nothing set, QSettings never writes the file back. It parses a section
    // when first asked for one of its keys, and only then knows whether it could.
    const QSettings settings(path, QSettings::IniFormat);
    (void)settings.allKeys();
    if (settings.status() != QSettings::NoError) {
        loaded.problem = settings.status() == QSettings::FormatError
            ? QStringLiteral("不是 INI 格式")
            : QStringLiteral("无法访问");
        return loaded;
    }
    Options& options = loaded.options;
    readFlag(settings, dtrKey, options.dtr);
    readFlag(settings, rtsKey, options.rts);
    for (int flow = 0; flow < int(std::size(flowNames)); ++flow)
        if (text(settings, flowKey) == flowNames[flow])
            options.flow = FlowControl(flow);
    options.logFolder = text(settings, logFolderKey);
    bool number = false;
    const int points = text(settings, fontPointsKey).toInt(&number);
    if (number && points >= minFontPoints && points <= maxFontPoints)
        options.fontPoints = points;
    readFlag(settings, timestampsKey, options.timestamps);
    readFlag(settings, hexCharsKey, options.hexChars);
    readFlag(settings, showSentKey, options.showSent);
    for (int mode = 0; mode < int(std::size(decodeNames)); ++mode)
        if (text(settings, decodeKey) == decodeNames[mode])
            options.decode = Modbus::Mode(mode);
    if (CodePage::choices().contains(text(settings, encodingKey).toLatin1()))
        options.encoding = text(settings, encodingKey);
    const int frameMs = text(settings, frameMsKey).toInt(&number);
    if (number
        && std::count(std::begin(ProtocolFormatter::frameChoices),
            std::end(ProtocolFormatter::frameChoices), frameMs))
        options.frameMs = frameMs;
    for (int ending = 0; ending < int(std::size(endingNames)); ++ending)
        if (text(settings, lineEndingKey) == endingNames[ending])
            options.lineEnding = LineEnding(ending);
    // WIDTHxHEIGHT+X+Y, as X11 writes a geometry: commas would make QSettings read a list.
    static const QRegularExpression geometry(QStringLiteral("^(\\d+)x(\\d+)([+-]\\d+)([+-]\\d+)$"));
    const QRegularExpressionMatch match = geometry.match(text(settings, commandsGeometryKey));
    const auto part = [&](int n) { return match.capturedView(n).toInt(); };
    if (match.hasMatch() && part(1) > 0 && part(2) > 0)
        options.commandsGeometry = QRect(part(3), part(4), part(1), part(2));
    return loaded;
}

bool Options::save(const QString& path) const
{
    QSettings settings(path, QSettings::IniFormat);
    settings.setValue(dtrKey, dtr);
    settings.setValue(rtsKey, rts);
    settings.setValue(flowKey, flowNames[int(flow)]);
    settings.setValue(logFolderKey, logFolder);
    settings.setValue(fontPointsKey, QString::number(fontPoints));
    settings.setValue(timestampsKey, timestamps);
    settings.setValue(frameMsKey, QString::number(frameMs));
    settings.setValue(hexCharsKey, hexChars);
    settings.setValue(showSentKey, showSent);
    settings.setValue(decodeKey, decodeNames[int(decode)]);
    settings.setValue(encodingKey, encoding);
    settings.setValue(lineEndingKey, endingNames[int(lineEnding)]);
    const QRect& g = commandsGeometry;
    settings.setValue(commandsGeometryKey,
        g.isEmpty() ? QString()
                    : QString::asprintf("%dx%d%+d%+d", g.width(), g.height(), g.x(), g.y()));
    settings.sync();
    // A file that did not read as INI is replaced all the same, and keeps saying so.
    return settings.status() != QSettings::AccessError;
}
