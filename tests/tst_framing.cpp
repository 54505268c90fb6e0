// The receive tick: cutting frames out of what the line delivers, in every
// shape a USB adapter or a noisy line hands them over.
#include "support/DataTable.h"
#include "support/FakeMeter.h"

#include <QRandomGenerator>

namespace {
// pH 7.000, 3 decimals, 25.0 degrees, ATC.
const QByteArray kReading = "<D1C0000001B5802EE>";
const QByteArray kReadingContent = "D1C0000001B5802EE";
}

class Framing : public QObject
{
    Q_OBJECT
private slots:
    void straysBeforeAFrameAreDropped()
    {
        Bench b;
        b.feed("x#@" + kReading);
        QCOMPARE(b.core.m.GridRow, 2);
        QCOMPARE(b.cell(1, 3), QStringLiteral("7.000"));
        QVERIFY(b.core.m.RxBuffer.isEmpty());
    }

    void aFrameSplitOverTwoReads()
    {
        Bench b;
        b.feed(kReading.left(11));
        QCOMPARE(b.core.m.GridRow, 1);
        QCOMPARE(b.core.m.RxBuffer, QString::fromLatin1(kReading.left(11)));
        b.feed(kReading.mid(11));
        QCOMPARE(b.core.m.GridRow, 2);
        QVERIFY(b.core.m.RxBuffer.isEmpty());
    }

    void everyFrameOfOneReadIsHandledInOrder()
    {
        Bench b;
        QStringList seen;
        connect(&b.core, &MainCore::frameHandled, this, [&](const QString &c) { seen << c; });
        b.feed("<M05A1.2>" + kReading + kReading + "<D1C0");
        QCOMPARE(seen, (QStringList{"M05A1.2", kReadingContent, kReadingContent}));
        QCOMPARE(b.core.Caption, QStringLiteral("TQ805 BenchLog(05A1.2)"));
        QCOMPARE(b.core.m.GridRow, 3);
        // The unfinished frame waits for the rest of its characters.
        QCOMPARE(b.core.m.RxBuffer, QStringLiteral("<D1C0"));
    }

    void aNewStartDropsTheBrokenFrame()
    {
        Bench b;
        // The first frame lost its ">": its remains must not be read as a
        // reading by position.
        b.feed("<D9000000003E8" + kReading);
        QCOMPARE(b.core.m.GridRow, 2);
        QCOMPARE(b.core.m.MeasMode.toInt(), 1);
        QCOMPARE(b.cell(1, 3), QStringLiteral("7.000"));
    }

    void framesWithoutADecoder_data()
    {
        columns<QByteArray>("bytes");
        QTest::newRow("empty content") << QByteArray("<>");
        QTest::newRow("unknown letter") << QByteArray("<X1234>");
        QTest::newRow("lower-case d") << QByteArray("<d1C00000001B58082EE>");
    }
    void framesWithoutADecoder()
    {
        QFETCH(QByteArray, bytes);
        Bench b;
        int handled = 0;
        connect(&b.core, &MainCore::frameHandled, this, [&] { ++handled; });
        b.feed(bytes);
        QCOMPARE(handled, 1);
        QCOMPARE(b.core.m.GridRow, 1);
        QCOMPARE(b.core.m.PollCommand, QString());
        QVERIFY(b.core.m.RxBuffer.isEmpty());
    }

    void pollRequestChangesAfterTheFirstFrame()
    {
        Bench b;
        b.core.Timer2_Timer();
        b.core.Timer2_Timer();
        QCOMPARE(b.link.written, (QByteArrayList{"@A#", "@A#"}));
        b.feed("<X>");
        b.core.Timer2_Timer();
        QCOMPARE(b.link.written.last(), QByteArray("@#"));
    }

    void aClosedPortStillEmptiesTheBuffer()
    {
        Bench b(false);
        b.core.m.RxBuffer = QString::fromLatin1(kReading);
        b.core.Timer1_Timer();
        QCOMPARE(b.core.m.GridRow, 2);
    }

    void noiseNeverGrowsTheBuffer_data()
    {
        columns<QByteArray, int>("chunk", "reads");
        QTest::newRow("closing marks only") << QByteArray("abc>def>") << 2000;
        QTest::newRow("no marks at all") << QByteArray(512, 'z') << 2000;
        QTest::newRow("a frame that never ends") << QByteArray("<D") + QByteArray(300, '1') << 200;
        QTest::newRow("starts only") << QByteArray("<<<<") << 2000;
        // 100 MiB of line noise without a closing mark, in reads as large as
        // a port hands over after the program was held up.
        QByteArray noise(64 * 1024, Qt::Uninitialized);
        QRandomGenerator rng(10);
        for (char &c : noise)
            c = char(rng.bounded(256));
        noise.replace('>', '<');
        QTest::newRow("100 MiB of noise") << noise << 1600;
        QTest::newRow("1 MiB reads of closing marks") << QByteArray(1024 * 1024, '>') << 4;
    }
    void noiseNeverGrowsTheBuffer()
    {
        auto [chunk, reads] = fetch<QByteArray, int>("chunk", "reads");
        Bench b;
        for (int i = 0; i < reads; ++i) {
            b.feed(chunk);
            QVERIFY2(b.core.m.RxBuffer.size() <= MainCore::kMaxFrame + 1,
                     qPrintable(QString::number(b.core.m.RxBuffer.size())));
        }
        // The line recovers at the next good frame.
        b.feed(kReading);
        QCOMPARE(b.cell(1, 3), QStringLiteral("7.000"));
    }

    // Whatever the line delivers, nothing crashes, the buffer stays bounded
    // and the table only ever gains whole rows.
    void randomLineNoise()
    {
        Bench b;
        b.core.cmdClear_Click();
        QRandomGenerator rng(2026);
        int rows = 0;
        connect(&b.core, &MainCore::rowCompleted, this, [&](int row) {
            ++rows;
            QCOMPARE(b.cell(row, 0), QString::number(row));
        });
        const QByteArray alphabet = "<>DQPMESdq0123456789ABCDEFabcdef#@ \r\n\xff";
        for (int read = 0; read < 20000; ++read) {
            QByteArray chunk(rng.bounded(1, 40), Qt::Uninitialized);
            for (char &c : chunk)
                c = alphabet[rng.bounded(alphabet.size())];
            b.feed(chunk);
            QVERIFY(b.core.m.RxBuffer.size() <= MainCore::kMaxFrame + 1);
        }
        QVERIFY(rows > 100);   // short garbled readings still land as rows
        for (int r = 1; r < b.core.m.GridRow; ++r)
            QCOMPARE(b.cell(r, 0), QString::number(r));
    }

    void frameLengthBound_data()
    {
        columns<int, bool>("contentLength", "handled");
        QTest::newRow("1 KiB is a frame") << MainCore::kMaxFrame << true;
        QTest::newRow("one more is dropped") << MainCore::kMaxFrame + 1 << false;
    }
    void frameLengthBound()
    {
        auto [contentLength, handled] = fetch<int, bool>("contentLength", "handled");
        Bench b;
        int count = 0;
        connect(&b.core, &MainCore::frameHandled, this, [&] { ++count; });
        b.feed("<X" + QByteArray(contentLength - 1, '0'));
        b.feed(">");
        QCOMPARE(count, handled ? 1 : 0);
    }
};

QTEST_GUILESS_MAIN(Framing)
#include "tst_framing.moc"
