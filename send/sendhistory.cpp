// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "send/sendhistory.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
const QString versionKey = QStringLiteral("version");
const QString historyKey = QStringLiteral("history");
const QString textKey = QStringLiteral("text");
const QString hexKey = QStringLiteral("hex");
constexpr int longestShown = 60;
} // namespace

void SendHistory::add(const Entry& entry)
{
    m_entries.removeAll(entry);
    m_entries.prepend(entry);
    if (m_entries.size() > keptCount)
        m_entries.resize(keptCount);
    m_walk = -1;
}

void SendHistory::clear()
{
    m_entries.clear();
    m_walk = -1;
}

QString SendHistory::menuText(const Entry& entry)
{
    QString text = entry.text;
    text.replace(QLatin1String("\r\n"), QStringLiteral("↵"));
    text.replace(QLatin1Char('\r'), QStringLiteral("↵"));
    text.replace(QLatin1Char('\n'), QStringLiteral("↵"));
    text.replace(QLatin1Char('\t'), QStringLiteral("→"));
    if (text.size() > longestShown)
        text = text.left(longestShown - 1) + QStringLiteral("…");
    // A menu item's & marks its shortcut letter.
    text.replace(QLatin1Char('&'), QLatin1String("&&"));
    return entry.hex ? QStringLiteral("HEX  ") + text : text;
}

std::optional<SendHistory::Entry> SendHistory::older()
{
    if (m_walk + 1 >= m_entries.size())
        return std::nullopt;
    return m_entries[++m_walk];
}

std::optional<SendHistory::Entry> SendHistory::newer()
{
    if (m_walk <= 0)
        return std::nullopt;
    return m_entries[--m_walk];
}

QByteArray SendHistory::toJson() const
{
    QJsonArray list;
    for (const Entry& entry : m_entries)
        list.append(QJsonObject { { textKey, entry.text }, { hexKey, entry.hex } });
    return QJsonDocument(QJsonObject { { versionKey, 1 }, { historyKey, list } }).toJson();
}

SendHistory::Read SendHistory::fromJson(const QByteArray& json)
{
    Read read;
    const QJsonDocument document = QJsonDocument::fromJson(json);
    const QJsonObject object = document.object();
    if (!document.isObject() || object.value(versionKey).toInt() != 1
        || !object.value(historyKey).isArray()) {
        read.problem = QStringLiteral("不是发送历史文件");
        return read;
    }
    const QJsonArray list = object.value(historyKey).toArray();
    // Oldest first, so that each lands in front of the newer ones.
    for (qsizetype i = list.size() - 1; i >= 0; --i) {
        const QJsonObject item = list[i].toObject();
        if (!item.value(textKey).isString() || item.value(textKey).toString().isEmpty()) {
            read.problem = QStringLiteral("不是发送历史文件");
            read.history.clear();
            return read;
        }
        read.history.add({ item.value(textKey).toString(), item.value(hexKey).toBool() });
    }
    return read;
}
