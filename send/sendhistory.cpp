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
    for (QChar& c : text) {
        switch (c.category()) {
        case QChar::Other_Control:
            c = c.unicode() < 0x20    ? QChar(0x2400 + c.unicode())
                : c.unicode() == 0x7F ? QChar(0x2421)
                                      : QChar(QChar::ReplacementCharacter);
            break;
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            c = QChar(0x21B5); // ↵
            break;
        case QChar::Other_Format: // the marks that reorder or join text
            c = QChar(QChar::ReplacementCharacter);
            break;
        default:
            break;
        }
    }
    if (text.size() > longestShown)
        text = text.left(longestShown - 1) + QStringLiteral("…");
    // A menu item's & marks its shortcut letter.
    text.replace(QLatin1Char('&'), QLatin1String("&&"));
    return entry.hex ? QStringLiteral("HEX  ") + text : text;
}

QString SendHistory::boxText(const Entry& entry)
{
    QString text = entry.text;
    return text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

std::optional<SendHistory::Entry> SendHistory::older(const Entry& shown)
{
    for (int k = m_walk + 1; k < m_entries.size(); ++k) {
        if (boxText(m_entries[k]) != boxText(shown) || m_entries[k].hex != shown.hex)
            return m_entries[m_walk = k];
    }
    return std::nullopt;
}

std::optional<SendHistory::Entry> SendHistory::newer(const Entry& shown)
{
    for (int k = m_walk - 1; k >= 0; --k) {
        if (boxText(m_entries[k]) != boxText(shown) || m_entries[k].hex != shown.hex)
            return m_entries[m_walk = k];
    }
    return std::nullopt;
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
