// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "send/replycheck.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// A 循环发送 run's counts, per row and in total: sends (each retry is one), and of the rows that
// expect a reply how many passed, failed or timed out, with the response times of the replies
// that came (passed or not): shortest, median, 95th percentile (nearest rank) and longest.
class Tallies {
public:
    struct Figures {
        int sent = 0;
        int passed = 0;
        int failed = 0;
        int timedOut = 0;
        // Milliseconds; none without a reply.
        std::optional<double> minMs, medianMs, p95Ms, maxMs;
    };

    // A new run over rows with these names; the clock is the wall time it began.
    void start(const QStringList& rowNames, const QDateTime& began);
    bool isEmpty() const { return m_rows.isEmpty(); }
    void sent(int row);
    void checked(int row, const Verdict& verdict);
    // Wall time the run ended, for the report; null while it runs.
    void finish(const QDateTime& ended) { m_ended = ended; }

    int rows() const { return int(m_rows.size()); }
    QString rowName(int row) const { return m_rows[row].name; }
    bool expects(int row) const { return m_rows[row].expects; }
    Figures row(int row) const;
    Figures total() const;
    // "发送 12  通过 10  失败 1  超时 1  响应 5 / 8 / 12 / 15 ms"
    static QString summary(const Figures& figures);

    // The report as CSV (UTF-8 with a byte order mark, for spreadsheets) and as JUnit XML: a test
    // case for each row that expects a reply, failed when any of its checks did not pass.
    QByteArray csv() const;
    QByteArray junit() const;
    // Both files, NAME.csv and NAME.xml, from the path chosen (a .csv or .xml ending is dropped
    // first), each written whole or not at all. Empty, or why a file could not be written.
    QString writeReports(const QString& path) const;

private:
    struct Row {
        QString name;
        bool expects = false;
        int sent = 0, passed = 0, failed = 0, timedOut = 0;
        QList<qint64> responseNs;
    };
    static Figures figures(const Row& row);

    QList<Row> m_rows;
    QDateTime m_began;
    QDateTime m_ended;
};
