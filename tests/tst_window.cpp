// The window draws the core's data where the layout puts it (offscreen).
#include "chart/ChartPainter.h"
#include "record/Recorder.h"
#include "shell/MainCore.h"
#include "shell/RecordingActions.h"
#include "shell/SerialLink.h"
#include "shell/frmMain.h"
#include "support/DataTable.h"
#include "support/OwnHome.h"
#include "table/GridView.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QJsonDocument>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

class Window : public QObject
{
    Q_OBJECT
public:
    static void initMain() { useOwnHome(); }

private:
    static void deliver(frmMain &w, const QString &frames)
    {
        w.core().m.RxBuffer += frames;   // the port is closed; the tick still reads the buffer
        w.core().Timer1_Timer();
    }
    template <class T>
    static T *child(frmMain &w, const char *name)
    {
        T *c = w.findChild<T *>(QString::fromLatin1(name));
        if (!c)
            qFatal("no control %s", name);
        return c;
    }

    // Answers the next modal dialog: `fill` types into it, then it is accepted.
    static void answer(const std::function<void(QDialog &)> &fill)
    {
        QTimer::singleShot(0, [fill] {
            auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            QVERIFY(d);
            fill(*d);
            d->accept();
        });
    }

private slots:
    // "Sample…" and "Add note…" from the menus reach the recording: its
    // chain holds the sample and the note on the row the menu was opened on.
    void sampleAndNoteFromTheMenus()
    {
        QTemporaryDir dir;
        frmMain w;
        w.enableJournal(dir.path());
        deliver(w, QStringLiteral("<P600028FA08C803E8>"));
        w.core().cmdClear_Click();
        for (int s = 0; s < 3; ++s)
            deliver(w, QStringLiteral("<D%1%2%3%4>").arg(0x9040 | s, 4, 16, QLatin1Char('0')).arg(0x0800, 4, 16, QLatin1Char('0'))
                           .arg(1000 + s, 4, 16, QLatin1Char('0')).arg(0xB000 | 750, 4, 16, QLatin1Char('0')));
        answer([](QDialog &d) { d.findChild<QLineEdit *>(QStringLiteral("sample"))->setText(QStringLiteral(" S-9 ")); });
        w.chooseSample();
        QCOMPARE(w.recorder()->sample().sample, QStringLiteral("S-9"));
        answer([](QDialog &d) { d.findChild<QPlainTextEdit *>(QStringLiteral("text"))->setPlainText(QStringLiteral("drift")); });
        w.addNote(2);
        QStringList events;
        w.recorder()->store().forEachEntry(w.recorder()->current().id, QStringLiteral("event"), [&](const hashchain::Entry &e) {
            const QJsonObject o = QJsonDocument::fromJson(e.body).object();
            if (o[QStringLiteral("event")] == QStringLiteral("sample") || o[QStringLiteral("event")] == QStringLiteral("note"))
                events << QStringLiteral("%1 %2 %3").arg(o[QStringLiteral("event")].toString(),
                                                         o[QStringLiteral("sample")].toString() + o[QStringLiteral("text")].toString())
                                                     .arg(o[QStringLiteral("from_row")].toInt());
            return true;
        });
        QCOMPARE(events, QStringList({"sample S-9 0", "note drift 2"}));
        // The Recordings list shows the sample from the events alone.
        w.recorder()->flush();
        QCOMPARE(recordingactions::annotationsOf(w.recorder()->store(), w.recorder()->current()).samples, QStringLiteral("S-9"));
    }

    void controlsStandWhereTheLayoutPutsThem_data()
    {
        // rect pixels: twips / 15
        columns<QString, QRect>("name", "rect");
        QTest::newRow("display") << "Picture1" << QRect(16, 8, 297, 225);
        QTest::newRow("chart") << "Picture4" << QRect(328, 8, 673, 481);
        QTest::newRow("table") << "MSFlexGrid1" << QRect(328, 496, 673, 201);
        QTest::newRow("export") << "cmdExport" << QRect(168, 568, 145, 33);
        QTest::newRow("value field") << "lblLCD_2" << QRect(40, 64, 145, 49);
        QTest::newRow("caption row 3") << "Label1_3" << QRect(16, 104, 81, 25);
    }
    void controlsStandWhereTheLayoutPutsThem()
    {
        auto [name, rect] = fetch<QString, QRect>("name", "rect");
        frmMain w;
        QCOMPARE(w.size(), QSize(1016, 708));
        QWidget *c = w.findChild<QWidget *>(name);
        QVERIFY(c);
        QCOMPARE(c->geometry(), rect);
    }

    void startsBlank()
    {
        frmMain w;
        QCOMPARE(w.windowTitle(), QStringLiteral("Form1"));
        QVERIFY(!child<QPushButton>(w, "cmdClear")->isEnabled() && !child<QPushButton>(w, "cmdExport")->isEnabled());
        QVERIFY(!child<QPushButton>(w, "cmdStdAdd")->isEnabled() && child<QPushButton>(w, "cmdExit")->isEnabled());
        auto *combo = child<QComboBox>(w, "Combo1");
        QCOMPARE(combo->count(), 9);
        QCOMPARE(combo->currentText(), QStringLiteral("1"));
        QVERIFY(!combo->toolTip().isEmpty());
    }

    void showsAnIonMeter()
    {
        frmMain w;
        w.show();
        // An ISE meter (Na), then a reading in mol/L at pX 3.000.
        deliver(w, QStringLiteral("<M03B1.1><Q40000864><E>"));
        deliver(w, QStringLiteral("<D600000000BB81271>"));
        QCOMPARE(w.windowTitle(), QStringLiteral("TQ803 BenchLog(03B1.1)"));
        QCOMPARE(child<QLabel>(w, "Label1_0")->text(), QStringLiteral("ISE :"));
        QCOMPARE(child<QLabel>(w, "Label2_0")->text(), QStringLiteral("Na"));
        QVERIFY(child<QWidget>(w, "Line2_0")->isVisible());
        QVERIFY(!child<QWidget>(w, "Line2_5")->isVisible());
        QVERIFY(child<QPushButton>(w, "cmdStdAdd")->isEnabled());
        QCOMPARE(child<QLabel>(w, "lblLCD_0")->text(), QStringLiteral("ISE"));
        QCOMPARE(child<QLabel>(w, "lblLCD_2")->text(), QStringLiteral("1.00"));
        QCOMPARE(child<QLabel>(w, "lblLCD_11")->text(), QStringLiteral("-3"));
        QVERIFY(!child<QWidget>(w, "Frame1")->isVisible());

        auto *view = child<QAbstractItemView>(w, "MSFlexGrid1");
        const QModelIndex first = view->model()->index(0, 5);
        QCOMPARE(first.data().toString(), QStringLiteral("22.99 mg/L"));
        QCOMPARE(first.data(Qt::BackgroundRole).value<QBrush>().color(), QColor(128, 128, 255));
        QCOMPARE(view->model()->headerData(6, Qt::Horizontal).toString(), QStringLiteral("ppm"));
    }

    // The table shows the newest reading whole, with the grid's top row on
    // top, however long the log; scrolled back, it shows the first rows.
    void tableFollowsTheNewestRow_data()
    {
        columns<int>("readings");
        QTest::newRow("a few") << 5;
        QTest::newRow("more than a screenful") << 40;
        QTest::newRow("thousands") << 3000;
    }
    void tableFollowsTheNewestRow()
    {
        auto [readings] = fetch<int>("readings");
        frmMain w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        deliver(w, QStringLiteral("<P600028FA08C803E8>"));
        w.core().cmdClear_Click();
        for (int s = 0; s < readings; ++s) {
            w.core().m.RxBuffer = QStringLiteral("<D%1%2%3%4>")
                                      .arg(0x9000 | 1 << 6 | s % 60, 4, 16, QLatin1Char('0'))
                                      .arg(1 << 11 | (s / 3600 % 24) << 6 | s / 60 % 60, 4, 16, QLatin1Char('0'))
                                      .arg(1000 + s % 900, 4, 16, QLatin1Char('0'))
                                      .arg(0xB000 | 750, 4, 16, QLatin1Char('0'));
            w.core().Timer1_Timer();   // the window lays out and paints afterwards, at once
        }
        QCoreApplication::processEvents();
        auto *view = child<GridView>(w, "MSFlexGrid1");
        QCOMPARE(view->firstShownRow(), qMax(1, w.core().MSFlexGrid1->TopRow()));
        const QAbstractItemModel *shown = view->model();
        int newest = -1;
        for (int i = 0; i < shown->rowCount(); ++i)
            if (shown->index(i, 0).data().toString() == QString::number(readings))
                newest = i;
        QVERIFY(newest >= 0);
        auto wholeInView = [&](int row) {
            const QRect r = view->visualRect(shown->index(row, 0));
            return r.top() >= 0 && r.bottom() < view->viewport()->height();
        };
        QVERIFY(wholeInView(newest));
        QCOMPARE(shown->index(newest, 3).data(Qt::BackgroundRole).value<QBrush>().color(), QColor(128, 128, 255));
        view->verticalScrollBar()->setValue(0);
        QCoreApplication::processEvents();
        QCOMPARE(view->firstShownRow(), 1);
        QCOMPARE(shown->index(0, 0).data().toString(), QStringLiteral("1"));
        QVERIFY(wholeInView(0));
    }

    void conductivityShowsTheRangeSelector()
    {
        frmMain w;
        w.show();
        deliver(w, QStringLiteral("<P600028FA08C803E8>"));
        QVERIFY(child<QWidget>(w, "Frame1")->isVisible());
        QVERIFY(child<QRadioButton>(w, "Option1_2")->isChecked());
        QVERIFY(child<QLabel>(w, "lblLCD_8")->text() == QStringLiteral("M"));
        child<QRadioButton>(w, "Option1_4")->click();
        QCOMPARE(w.core().Option1Value, 4);
        QCOMPARE(w.core().m.ValueScale.toDouble(), 0.03);
    }

    // The chart keeps its traces between paints and only adds what was drawn
    // since; after live steps, a doubling of the time base and more steps it
    // must look like the chart painted whole.
    void chartRepaintsMatchAWholePaint()
    {
        frmMain w;
        w.show();
        deliver(w, QStringLiteral("<P600028FA08C803E8>"));
        w.core().cmdClear_Click();
        auto *chart = child<QWidget>(w, "Picture4");
        for (int s = 0; s < 45; ++s) {
            const int value = 1000 + (s * 37) % 900, temp = 0xB000 | (700 + (s * 13) % 150);
            deliver(w, QStringLiteral("<D%1%2%3%4>")
                           .arg(0x9000 | 1 << 6 | s, 4, 16, QLatin1Char('0'))
                           .arg(1 << 11 | 10 << 6, 4, 16, QLatin1Char('0'))
                           .arg(value, 4, 16, QLatin1Char('0'))
                           .arg(temp, 4, 16, QLatin1Char('0')));
            if (s % 4 == 0)
                chart->grab();   // a paint, as after each reading
        }
        QCOMPARE(w.core().m.TimeBase, 2);
        QImage whole(chart->size(), QImage::Format_RGB32);
        QPainter p(&whole);
        paintChart(p, whole.size(), 1, w.core().chart, w.core().Picture4);
        p.end();
        const QImage shown = chart->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown.size(), whole.size());
        // Segments drawn one by one and as one polyline may differ in a
        // join's pixel; a missing or misplaced segment differs in dozens.
        int differ = 0;
        for (int y = 0; y < whole.height(); ++y)
            for (int x = 0; x < whole.width(); ++x)
                differ += shown.pixel(x, y) != whole.pixel(x, y);
        QVERIFY2(differ <= 4, qPrintable(QString::number(differ)));
    }

    // The meter's line hangs up after a download (polling stopped): one
    // notice, which does not block the window and goes when the meter is
    // back; Clear and Export work meanwhile.
    void lostPortNoticeComesAndGoes()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath("meter");
        auto startMeter = [&](QProcess &p) {
            p.start(QStringLiteral(TQ800_SIM), {"--quiet", "--unpaced", "--link", link});
            QTRY_VERIFY(QFileInfo(link).isSymLink());
        };
        QProcess meter, again;
        startMeter(meter);
        frmMain w;
        w.show();
        w.selectAtStart(link);
        QVERIFY(w.core().MSComm1->isOpen());
        w.core().Timer2.stop();
        meter.terminate();
        meter.waitForFinished();
        auto notices = [&] { return w.findChildren<QMessageBox *>(QStringLiteral("notice")); };
        QTRY_VERIFY(notices().size() == 1 && notices()[0]->isVisible());
        QVERIFY(notices()[0]->text().contains(link));
        QVERIFY(!notices()[0]->isModal());
        QVERIFY(child<QPushButton>(w, "cmdClear")->isEnabled() && child<QPushButton>(w, "cmdExport")->isEnabled());
        startMeter(again);
        QTRY_VERIFY(w.core().MSComm1->isOpen());
        QVERIFY(!notices()[0]->isVisible() && !w.core().Timer2.isActive());
        w.core().MSComm1->close();
        again.terminate();
        again.waitForFinished();
    }

    // Five polls and no frame: the title and the port box say so; the
    // first frame takes it away. The title the meter set stays as it was.
    void silentMeterShowsInTitleAndTooltip()
    {
        int master = -1, slave = -1;
        char name[128] = {};
        QVERIFY(openpty(&master, &slave, name, nullptr, nullptr) == 0);
        termios raw;
        tcgetattr(slave, &raw);
        cfmakeraw(&raw);
        tcsetattr(slave, TCSANOW, &raw);
        frmMain w;
        w.selectAtStart(QString::fromLatin1(name));
        auto *combo = child<QComboBox>(w, "Combo1");
        for (int poll = 0; poll < 5; ++poll) {
            QVERIFY(!w.windowTitle().contains("no answer") && !combo->toolTip().contains("No answer"));
            w.core().Timer2_Timer();
        }
        QCOMPARE(w.windowTitle(), QStringLiteral("Form1 \u2014 no answer from %1").arg(name));
        QVERIFY(combo->toolTip().startsWith(QStringLiteral("No answer from %1").arg(name)));
        QCOMPARE(w.core().Caption, QStringLiteral("Form1"));
        QCOMPARE(write(master, "<E>", 3), 3);
        w.core().Timer1_Timer();
        QCOMPARE(w.windowTitle(), QStringLiteral("Form1"));
        QVERIFY(!combo->toolTip().contains("No answer"));
        w.core().MSComm1->close();
        close(slave);
        close(master);
    }

    // The program itself: a word it does not take, and no display to show
    // its window on, each end it at once with status 1 and say why.
    void commandLine_data()
    {
        // env: variables set ("NAME=value") or, with an empty value, removed
        columns<QStringList, QStringList, QString>("args", "env", "said");
        QTest::newRow("a stray argument") << QStringList{"extra"} << QStringList{"QT_QPA_PLATFORM=offscreen"}
                                          << "unexpected argument: extra";
        QTest::newRow("no display")
            << QStringList{} << QStringList{"QT_QPA_PLATFORM=", "DISPLAY=", "WAYLAND_DISPLAY="} << "no display was found";
        QTest::newRow("a display that is not there")
            << QStringList{} << QStringList{"QT_QPA_PLATFORM=", "DISPLAY=:4711", "WAYLAND_DISPLAY="}
            << "no display was found";
    }
    void commandLine()
    {
        auto [args, env, said] = fetch<QStringList, QStringList, QString>("args", "env", "said");
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        for (const QString &v : env) {
            const QString name = v.section(u'=', 0, 0), value = v.section(u'=', 1);
            value.isEmpty() ? e.remove(name) : e.insert(name, value);
        }
        QProcess window;
        window.setProcessEnvironment(e);
        window.start(QStringLiteral(TQ800_GUI), args << "--no-journal");
        QVERIFY(window.waitForFinished(20000));
        QCOMPARE(window.exitStatus(), QProcess::NormalExit);
        QCOMPARE(window.exitCode(), 1);
        const QString errors = QString::fromLocal8Bit(window.readAllStandardError());
        QVERIFY2(errors.contains(said), qPrintable(errors));
    }
};

QTEST_MAIN(Window)
#include "tst_window.moc"
