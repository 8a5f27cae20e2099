// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

// File transfers through lrzsz over the real port: COM1 is a pseudo-terminal whose master the
// real lrzsz plays (rx, rb, sb as a bootloader would), or the test itself where the far end must
// misbehave.
#include "port/comnames.h"
#include "port/qtserialbackend.h"
#include "send/sendpath.h"
#include "support/farend.h"
#include "support/pty.h"
#include "transfer/filetransfer.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(TransferProtocol)

namespace {

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(size);
    for (char& byte : bytes)
        byte = char(generator.bounded(256));
    return bytes;
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool store(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// An XMODEM block of 128 bytes with a CRC, as a sender would frame it; only the misbehaving far
// end of the tests needs one.
QByteArray block(int number, const QByteArray& payload)
{
    QByteArray data = payload.leftJustified(128, '\0', true);
    quint16 crc = 0;
    for (const char byte : std::as_const(data)) {
        crc ^= quint16(quint8(byte) << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = crc & 0x8000 ? quint16((crc << 1) ^ 0x1021) : quint16(crc << 1);
    }
    return QByteArray(1, '\x01') + char(number) + char(255 - number) + data + char(crc >> 8)
        + char(crc & 0xFF);
}

} // namespace

class TransferTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_config;
    QTemporaryDir m_files;
    std::unique_ptr<PtyPair> m_pty;
    std::unique_ptr<QtSerialComponent> m_serial;
    std::unique_ptr<SendPath> m_send;
    std::unique_ptr<FileTransfer> m_transfer;
    std::unique_ptr<QSignalSpy> m_finished;

    QString folder(const QString& name) const
    {
        const QString path = m_files.filePath(name);
        QDir().mkpath(path);
        return path;
    }
    TransferOutcome outcome() const
    {
        return m_finished->isEmpty() ? TransferOutcome()
                                     : m_finished->first().first().value<TransferOutcome>();
    }

private Q_SLOTS:
    void initTestCase()
    {
        qRegisterMetaType<TransferOutcome>();
        if (!FileTransfer::installed())
            QSKIP("lrzsz is not installed");
    }

    void init()
    {
        m_transfer.reset();
        m_send.reset();
        m_serial.reset();
        m_pty = std::make_unique<PtyPair>();
        QFile::remove(ComNames::devicesFolder() + u"/com1"_s);
        QVERIFY(m_pty->bindAsCom1(m_config.path()));
        m_serial = std::make_unique<QtSerialComponent>();
        m_serial->setOutBufferSize(4096);
        QVERIFY(m_serial->setPortOpen(true));
        m_send = std::make_unique<SendPath>(*m_serial);
        m_transfer = std::make_unique<FileTransfer>(*m_serial, *m_send);
        m_finished = std::make_unique<QSignalSpy>(m_transfer.get(), &FileTransfer::finished);
    }

    void sendArrivesIdentical_data()
    {
        QTest::addColumn<TransferProtocol>("protocol");
        QTest::addColumn<QStringList>("farEnd");
        QTest::newRow("XMODEM") << TransferProtocol::Xmodem << QStringList { u"rx"_s, u"-c"_s };
        QTest::newRow("XMODEM-1K") << TransferProtocol::Xmodem1k << QStringList { u"rx"_s };
        QTest::newRow("YMODEM") << TransferProtocol::Ymodem << QStringList { u"rb"_s };
    }

    // A 100 KiB file, a multiple of every block size, so that no padding is added.
    void sendArrivesIdentical()
    {
        QFETCH(TransferProtocol, protocol);
        QFETCH(QStringList, farEnd);
        const QByteArray bytes = randomBytes(100 * 1024);
        const QString path = m_files.filePath(u"firmware.bin"_s);
        QVERIFY(store(path, bytes));
        const QString device = folder(u"device"_s);
        QFile::remove(device + u"/firmware.bin"_s);
        if (farEnd.first() == u"rx"_s)
            farEnd << u"firmware.bin"_s;
        FarEnd far(m_pty->masterFd(), farEnd, device);
        QVERIFY(far.started());

        QVERIFY(m_transfer->start(protocol, path).isNull());
        QVERIFY(m_transfer->isRunning());
        QVERIFY(m_send->transferRunning());
        QVERIFY(m_finished->wait(50000));
        QCOMPARE(outcome().kind, TransferOutcome::Kind::Done);
        QCOMPARE(m_transfer->progress().bytes, bytes.size());
        QCOMPARE(m_transfer->progress().blocks, bytes.size() / Lrzsz::blockBytes(protocol));
        QVERIFY(!m_send->transferRunning());
        QTRY_VERIFY(far.finished());
        QCOMPARE(far.exitCode(), 0);
        QCOMPARE(contents(device + u"/firmware.bin"_s), bytes);
        QVERIFY(noChildProcesses());
    }

    // Into the folder given, under the sender's name; a file of that name already there is kept.
    void receiveLandsInFolder()
    {
        // Past 256 blocks, where the block numbers lrzsz reports wrap.
        const QByteArray bytes = randomBytes(300 * 1024 + 7);
        const QString device = folder(u"sender"_s);
        const QString save = folder(u"save"_s);
        QVERIFY(store(device + u"/fw.bin"_s, bytes) && store(save + u"/fw.bin"_s, "older"));

        QVERIFY(m_transfer->start(TransferProtocol::YmodemReceive, save).isNull());
        FarEnd far(m_pty->masterFd(), { u"sb"_s, u"-k"_s, u"fw.bin"_s }, device);
        QVERIFY(m_finished->wait(50000));
        QCOMPARE(outcome().kind, TransferOutcome::Kind::Done);
        QCOMPARE(outcome().savedPath, save + u"/fw.bin.0"_s);
        QCOMPARE(contents(save + u"/fw.bin.0"_s), bytes);
        QCOMPARE(contents(save + u"/fw.bin"_s), QByteArray("older"));
        QCOMPARE(m_transfer->progress().total, bytes.size());
        QVERIFY(m_transfer->progress().blocks > 300);
        QTRY_VERIFY(far.finished());
        QVERIFY(noChildProcesses());
    }

    // Nothing answers: the transfer ends at the quiet limit with a message, the child gone and
    // the port open. A second transfer is refused while it runs, and so are the silent sends.
    void silentFarEndEnds()
    {
        const QString path = m_files.filePath(u"small.bin"_s);
        QVERIFY(store(path, randomBytes(3000)));
        m_transfer->setQuietLimitMs(1500);
        QVERIFY(m_transfer->start(TransferProtocol::Xmodem1k, path).isNull());
        QCOMPARE(m_transfer->start(TransferProtocol::Xmodem, path).text,
            SendMessages::transferRunning().text);
        QVERIFY(!m_send->sendBox(u"AT", false));

        QVERIFY(m_finished->wait(20000));
        QCOMPARE(outcome().kind, TransferOutcome::Kind::Failed);
        QCOMPARE(outcome().message.text, u"对方 1.5 秒没有回应，传输已取消"_s);
        QVERIFY(m_serial->portOpen());
        QVERIFY(m_send->refusal().isNull());
        QVERIFY(noChildProcesses());
        // lrzsz's cancel went out, and nothing of the refused sends.
        const QByteArray wrote = m_pty->readPumping(20, 3000);
        QVERIFY2(wrote.contains(QByteArray(8, '\x18')), wrote.toHex().constData());
        QVERIFY(!wrote.contains("AT"));
    }

    // A block out of order ends a receive at once, in lrzsz's words; the half file is not kept.
    void blockOutOfOrderEnds()
    {
        const QString save = folder(u"broken"_s);
        QVERIFY(m_transfer->start(TransferProtocol::YmodemReceive, save).isNull());
        QVERIFY(m_pty->readPumping(1, 10000).contains('C'));
        const QByteArray header("x.bin\0"
                                "300 0 0",
            14); // the name, then the size
        QVERIFY(m_pty->writePumping(block(0, header)));
        QVERIFY(m_pty->readPumping(1, 10000).contains('\x06'));
        QVERIFY(m_pty->writePumping(block(5, QByteArray(128, 'A'))));
        QVERIFY(m_finished->wait(20000));
        QCOMPARE(outcome().kind, TransferOutcome::Kind::Failed);
        QCOMPARE(outcome().message.text, u"文件传输失败：Sync Error"_s);
        QVERIFY(!QFile::exists(save + u"/x.bin"_s));
        QVERIFY(noChildProcesses());
    }
};

QTEST_GUILESS_MAIN(TransferTest)
#include "tst_transfer.moc"
