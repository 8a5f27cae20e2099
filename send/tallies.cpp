// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "send/tallies.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QXmlStreamWriter>

#include <algorithm>
#include <cmath>

namespace {

QString milliseconds(const std::optional<double>& ms)
{
    return ms ? QString::number(*ms, 'f', 1) : QString();
}

QString csvField(const QString& text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"'))
        && !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

void Tallies::start(const QStringList& rowNames, const QDateTime& began)
{
    m_rows.clear();
    for (const QString& name : rowNames) {
        Row row;
        row.name = name;
        m_rows.append(row);
    }
    m_began = began;
    m_ended = {};
}

void Tallies::sent(int row)
{
    if (row >= 0 && row < m_rows.size())
        ++m_rows[row].sent;
}

void Tallies::checked(int row, const Verdict& verdict)
{
    if (row < 0 || row >= m_rows.size())
        return;
    Row& r = m_rows[row];
    r.expects = true;
    switch (verdict.result) {
    case Verdict::Result::Pass:
        ++r.passed;
        break;
    case Verdict::Result::Fail:
        ++r.failed;
        break;
    case Verdict::Result::Timeout:
        ++r.timedOut;
        break;
    }
    if (verdict.responseNs >= 0)
        r.responseNs.append(verdict.responseNs);
}

Tallies::Figures Tallies::figures(const Row& row)
{
    Figures f;
    f.sent = row.sent;
    f.passed = row.passed;
    f.failed = row.failed;
    f.timedOut = row.timedOut;
    QList<qint64> times = row.responseNs;
    if (times.isEmpty())
        return f;
    std::sort(times.begin(), times.end());
    const auto ms = [](qint64 ns) { return double(ns) / 1e6; };
    const qsizetype n = times.size();
    f.minMs = ms(times.front());
    f.maxMs = ms(times.back());
    f.medianMs = n % 2 ? ms(times[n / 2]) : (ms(times[n / 2 - 1]) + ms(times[n / 2])) / 2;
    f.p95Ms = ms(times[qsizetype(std::ceil(0.95 * double(n))) - 1]);
    return f;
}

Tallies::Figures Tallies::row(int row) const { return figures(m_rows[row]); }

Tallies::Figures Tallies::total() const
{
    Row all;
    for (const Row& r : m_rows) {
        all.sent += r.sent;
        all.passed += r.passed;
        all.failed += r.failed;
        all.timedOut += r.timedOut;
        all.responseNs += r.responseNs;
    }
    return figures(all);
}

QString Tallies::summary(const Figures& f)
{
    QString text = QStringLiteral("发送 %1  通过 %2  失败 %3  超时 %4")
                       .arg(f.sent)
                       .arg(f.passed)
                       .arg(f.failed)
                       .arg(f.timedOut);
    if (f.minMs)
        text += QStringLiteral("  响应 最短 %1 / 中位 %2 / P95 %3 / 最长 %4 ms")
                    .arg(milliseconds(f.minMs), milliseconds(f.medianMs), milliseconds(f.p95Ms),
                        milliseconds(f.maxMs));
    return text;
}

QByteArray Tallies::csv() const
{
    QString out
        = QStringLiteral("序号,名称,发送,通过,失败,超时,最短(ms),中位(ms),P95(ms),最长(ms)\r\n");
    const auto line = [&](const QString& number, const QString& name, const Figures& f) {
        out += QStringList { number, csvField(name), QString::number(f.sent),
            QString::number(f.passed), QString::number(f.failed), QString::number(f.timedOut),
            milliseconds(f.minMs), milliseconds(f.medianMs), milliseconds(f.p95Ms),
            milliseconds(f.maxMs) }
                   .join(QLatin1Char(','))
            + QStringLiteral("\r\n");
    };
    for (int i = 0; i < rows(); ++i)
        line(QString::number(i + 1), m_rows[i].name, row(i));
    line(QString(), QStringLiteral("合计"), total());
    return "\xEF\xBB\xBF" + out.toUtf8();
}

QByteArray Tallies::junit() const
{
    QByteArray xml;
    QXmlStreamWriter w(&xml);
    w.setAutoFormatting(true);
    w.writeStartDocument();
    int cases = 0, failures = 0;
    for (const Row& r : m_rows) {
        cases += r.expects;
        failures += r.expects && (r.failed > 0 || r.timedOut > 0);
    }
    const QDateTime ended = m_ended.isValid() ? m_ended : m_began;
    const QString seconds = QString::number(double(m_began.msecsTo(ended)) / 1000, 'f', 3);
    w.writeStartElement(QStringLiteral("testsuites"));
    w.writeStartElement(QStringLiteral("testsuite"));
    w.writeAttribute(QStringLiteral("name"), QStringLiteral("循环发送"));
    w.writeAttribute(QStringLiteral("tests"), QString::number(cases));
    w.writeAttribute(QStringLiteral("failures"), QString::number(failures));
    w.writeAttribute(QStringLiteral("errors"), QStringLiteral("0"));
    w.writeAttribute(QStringLiteral("timestamp"), m_began.toString(Qt::ISODate));
    w.writeAttribute(QStringLiteral("time"), seconds);
    for (int i = 0; i < rows(); ++i) {
        const Row& r = m_rows[i];
        if (!r.expects)
            continue;
        const Figures f = row(i);
        w.writeStartElement(QStringLiteral("testcase"));
        w.writeAttribute(QStringLiteral("classname"), QStringLiteral("portlark.commands"));
        w.writeAttribute(QStringLiteral("name"),
            QStringLiteral("%1 %2").arg(i + 1).arg(
                r.name.isEmpty() ? QStringLiteral("命令") : r.name));
        w.writeAttribute(
            QStringLiteral("time"), QString::number(f.medianMs.value_or(0) / 1000, 'f', 4));
        if (r.failed > 0 || r.timedOut > 0) {
            w.writeStartElement(QStringLiteral("failure"));
            w.writeAttribute(QStringLiteral("message"),
                QStringLiteral("失败 %1 次，超时 %2 次").arg(r.failed).arg(r.timedOut));
            w.writeCharacters(summary(f));
            w.writeEndElement();
        }
        w.writeTextElement(QStringLiteral("system-out"), summary(f));
        w.writeEndElement();
    }
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndDocument();
    return xml;
}

QString Tallies::writeReports(const QString& path) const
{
    QString base = path;
    if (base.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)
        || base.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive))
        base.chop(4);
    for (const auto& [ending, bytes] : { std::pair { QStringLiteral(".csv"), csv() },
             std::pair { QStringLiteral(".xml"), junit() } }) {
        QSaveFile file(base + ending);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
            return QStringLiteral("报告无法写入 %1（%2）").arg(file.fileName(), file.errorString());
    }
    return {};
}
