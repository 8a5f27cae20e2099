// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "view/viewsearch.h"
#include "view/viewtext.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class ViewSearchTest : public QObject {
    Q_OBJECT

    static ViewSearch::Result run(ViewSearch& search, const ViewText& text, qint64 budget)
    {
        ViewSearch::Result result = ViewSearch::Result::Searching;
        while (result == ViewSearch::Result::Searching)
            result = search.step(text, budget);
        return result;
    }

private Q_SLOTS:
    void findsWhereTheTextShowsIt_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("needle");
        QTest::addColumn<bool>("caseSensitive");
        QTest::addColumn<bool>("hex");
        QTest::addColumn<qint64>("from");
        QTest::addColumn<bool>("backward");
        QTest::addColumn<qint64>("found"); // -1: none
        const QString chunkEdge = QString(16382, u'x') + u"Needle"_s;
        QTest::newRow("across a chunk boundary")
            << chunkEdge << u"needle"_s << false << false << 0LL << false << 16382LL;
        QTest::newRow("case kept when asked")
            << u"Needle needle"_s << u"needle"_s << true << false << 0LL << false << 7LL;
        QTest::newRow("backward: the last before the start")
            << u"ab ab ab"_s << u"AB"_s << false << false << 6LL << true << 3LL;
        QTest::newRow("forward goes round to the start")
            << u"ab cd ab"_s << u"ab"_s << false << false << 7LL << false << 0LL;
        QTest::newRow("bytes in hex, however spaced and in either case")
            << u"10 13 01 0A "_s << u" 010a"_s << false << true << 0LL << false << 6LL;
        QTest::newRow("hex: digits of a stamp are no byte")
            << u"[12:00:01.012] +12 ms 12 "_s << u"12"_s << false << true << 0LL << false << 22LL;
        QTest::newRow("hex: pairs are bytes only in the hex display")
            << u"01 03 "_s << u"0103"_s << false << false << 0LL << false << -1LL;
        QTest::newRow("hex: never in a line's characters")
            << u"31 32   12\n12 "_s << u"12"_s << false << true << 0LL << false << 11LL;
        QTest::newRow("hex: never in a line's characters, backward")
            << u"12 31 32   12"_s << u"12"_s << false << true << 13LL << true << 0LL;
        const QString lookAlike = u"30 31 20 "_s.repeated(2000) + u"  "_s + u"01 "_s.repeated(2000);
        QTest::newRow("hex: characters like pairs, far from where they begin")
            << lookAlike << u"01"_s << false << true << 0LL << false << -1LL;
        QTest::newRow("hex: an odd count of digits finds nothing")
            << u"01 23 "_s << u"123"_s << false << true << 0LL << false << -1LL;
        QTest::newRow("hex: other needles are text")
            << u"[12:00] 01 "_s << u"12:00"_s << false << true << 0LL << false << 1LL;
        QTest::newRow("not found") << u"abc"_s << u"abd"_s << false << false << 0LL << true << -1LL;
    }

    void findsWhereTheTextShowsIt()
    {
        QFETCH(QString, text);
        QFETCH(QString, needle);
        QFETCH(bool, caseSensitive);
        QFETCH(bool, hex);
        QFETCH(qint64, from);
        QFETCH(bool, backward);
        QFETCH(qint64, found);
        ViewText shown;
        shown.append(text);
        const SearchPattern pattern(needle, caseSensitive, hex);
        // In one slice, and in slices of a few characters that cut every match.
        for (const qint64 budget : { qint64(1) << 20, qint64(3) }) {
            ViewSearch search;
            search.start(pattern, from, backward);
            const ViewSearch::Result result = run(search, shown, budget);
            QCOMPARE(result == ViewSearch::Result::Found ? search.found().first : -1, found);
        }
    }

    // What a pattern learnt of the lines does not outlive an edit of the text.
    void charactersAfterAnEdit()
    {
        ViewText text;
        text.append(u"31 32   xx 12"_s);
        const SearchPattern pattern(u"12"_s, false, true);
        QCOMPARE(pattern.find(text, 0, text.length(), false), -1);
        text.clear();
        text.append(u"31 32 33 12"_s);
        QCOMPARE(pattern.find(text, 0, text.length(), false), 9);
    }

    // Text that arrives while a search runs is looked at too; the matches in view are all found.
    void appendedWhileSearching()
    {
        ViewText text;
        text.append(QString(50000, u'x'));
        ViewSearch search;
        search.start(SearchPattern(u"YZ"_s, false, false), 0, false);
        QCOMPARE(search.step(text, 1000), ViewSearch::Result::Searching);
        text.append(u"xyzxyz"_s);
        QCOMPARE(run(search, text, 1000), ViewSearch::Result::Found);
        QCOMPARE(search.found(), std::pair(50001LL, 50003LL));
        const std::vector<std::pair<qint64, qint64>> all
            = SearchPattern(u"YZ"_s, false, false).matches(text, 49990, text.length());
        QCOMPARE(all.size(), size_t(2));
    }
};

QTEST_GUILESS_MAIN(ViewSearchTest)
#include "tst_viewsearch.moc"
