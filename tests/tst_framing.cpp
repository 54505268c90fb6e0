// The receive tick: cutting frames out of what the line delivers, in every
// shape a USB adapter or a noisy line hands them over.
#include "support/DataTable.h"
#include "support/FakeMeter.h"
#include "support/OwnHome.h"

#include <QRandomGenerator>

class Framing : public QObject
{
    Q_OBJECT
public:
    static void initMain() { useOwnHome(); }

private slots:
    // What the receive tick cuts out of the reads it is handed: the frames,
    // in order, the rows they log and what waits in the buffer.
    void reads_data()
    {
        columns<QByteArrayList, QStringList, int, QString>("reads", "frames", "gridRow", "buffer");
        const QString r = QString::fromLatin1(kPhReading.mid(1, 17));
        dataRow("strays before a frame are dropped", QByteArrayList{"x#@" + kPhReading}, QStringList{r}, 2, QString());
        dataRow("a frame split over two reads", QByteArrayList{kPhReading.left(11), kPhReading.mid(11)}, QStringList{r},
                2, QString());
        dataRow("every frame of one read in order, the unfinished one waits",
                QByteArrayList{"<M05A1.2>" + kPhReading + kPhReading + "<D1C0"}, QStringList{"M05A1.2", r, r}, 3,
                QString("<D1C0"));
        // The first frame lost its ">": its remains must not be read as a
        // reading by position.
        dataRow("a new start drops the broken frame", QByteArrayList{"<D9000000003E8" + kPhReading}, QStringList{r}, 2,
                QString());
        // Frames without a decoder are handled and change nothing.
        dataRow("empty content", QByteArrayList{"<>"}, QStringList{""}, 1, QString());
        dataRow("unknown letter", QByteArrayList{"<X1234>"}, QStringList{"X1234"}, 1, QString());
        dataRow("lower-case d", QByteArrayList{"<d1C00000001B58082EE>"}, QStringList{"d1C00000001B58082EE"}, 1,
                QString());
    }
    void reads()
    {
        QFETCH(QByteArrayList, reads);
        Bench b;
        QStringList seen;
        connect(&b.core, &MainCore::frameHandled, this, [&](const QString &c) { seen << c; });
        for (const QByteArray &read : reads)
            b.feed(read);
        QTEST(seen, "frames");
        QTEST(b.core.m.GridRow, "gridRow");
        QTEST(b.core.m.RxBuffer, "buffer");
        QCOMPARE(b.core.m.PollCommand, QString());   // after the first frame
        for (int row = 1; row < b.core.m.GridRow; ++row)
            QCOMPARE(b.cell(row, 3), QStringLiteral("7.000"));
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
        b.feed(kPhReading);
        QCOMPARE(b.cell(1, 3), QStringLiteral("7.000"));
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
