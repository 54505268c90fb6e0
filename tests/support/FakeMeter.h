#pragma once
#include "shell/MainCore.h"
#include "shell/SerialLink.h"
#include "shell/UiPrompts.h"

#include <QByteArrayList>
#include <QStringList>
#include <functional>
#include <memory>
#include <utility>

// A serial port the test scripts: bytes queued by the test arrive on the
// next read, writes are recorded, and the device can "vanish".
class FakeLink : public SerialLink
{
    Q_OBJECT
public:
    QStringList openable{QStringLiteral("*")};   // devices that open; "*" = any
    QStringList opened;                          // every device opened, in order
    QString refusal;                             // what a refused open says
    QByteArrayList written;
    QByteArray incoming;

    bool open(const QString &device) override
    {
        // A real port refuses to open again before it is closed.
        if (open_ || (!openable.contains(QStringLiteral("*")) && !openable.contains(device)))
            return false;
        open_ = true;
        device_ = device;
        opened << device;
        return true;
    }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    QByteArray readAll() override { return std::exchange(incoming, {}); }
    void write(const QByteArray &data) override { written << data; }
    QString device() const override { return device_; }
    QString openError() const override { return refusal; }

    void unplug()
    {
        open_ = false;
        emit lost(QStringLiteral("device removed"));
    }

private:
    bool open_ = false;
    QString device_;
};

class RecordingPrompts : public UiPrompts
{
public:
    struct Box { QString text; Icon icon; QString detail; };
    QList<Box> boxes;
    void MsgBox(const QString &text, Icon icon, const QString &detail = QString()) override { boxes.append({text, icon, detail}); }

    // Every notice shown, in order, "" for one taken away; and the one up now.
    QStringList notices;
    QString notice;
    void Notice(const QString &text) override { notices << (notice = text); }

    // The save dialog answers `saveAs` ("" cancels) with the filter entry
    // `saveFilter`, and records what it was asked.
    QString saveAs, saveFilter;
    QStringList dialogs;   // "title|proposed|filter"
    QString SaveFileName(const QString &title, const QString &proposed, const QString &filter,
                         QString *chosenFilter = nullptr) override
    {
        dialogs << title + u'|' + proposed + u'|' + filter;
        if (chosenFilter)
            *chosenFilter = saveFilter;
        return saveAs;
    }
    QList<int> progress;   // each report's done, -1 for the closing one
    std::function<void()> duringProgress;
    int cancelAt = 0;      // Cancel pressed at this report (1, 2, ...); 0 never
    bool Progress(const QString &, int done, int total) override
    {
        progress << (done == total ? -1 : done);
        if (duringProgress)
            duringProgress();
        return done == total || progress.size() != cancelAt;
    }
    QStringList opened;
    void OpenDocument(const QString &file) override { opened << file; }
};

// pH 7.000 with three decimals, 25.0 °C by automatic compensation, on day 0 of month 0.
inline const QByteArray kPhReading = "<D1C0000001B5802EE>";

// pH 7.00 on 3-07 at 9:05:<second>, 25.0 °C automatic compensation.
inline QByteArray phReading(int second)
{
    return "<D" + QByteArray::number(0x18C0 + second, 16).toUpper() + "3A451B5802EE>";
}

// A core on a fake port, started up and connected, as a user would have it
// after selecting a port. feed() delivers bytes and runs one receive tick.
struct Bench
{
    FakeLink link;
    RecordingPrompts prompts;
    MainCore core{&link, &prompts};

    explicit Bench(bool connect = true)
    {
        core.Form_Load();
        if (connect) {
            core.Combo1Text = QStringLiteral("/dev/fake0");
            core.cmdComm_Click();
        }
    }
    void feed(const QByteArray &bytes)
    {
        link.incoming += bytes;
        core.Timer1_Timer();
    }
    void frame(const QString &content) { feed("<" + content.toLatin1() + ">"); }
    // A frame written as its 4-character fields with blanks between them
    // ("D 1C00 0000 FF38 08CA"); an empty text sends nothing.
    void send(const QString &fields)
    {
        if (!fields.isEmpty())
            frame(QString(fields).remove(QLatin1Char(' ')));
    }
    // All eight cells of a row, "|"-joined: a write into the wrong column shows.
    QString rowText(int row) const
    {
        QStringList cells;
        for (int c = 0; c < 8; ++c)
            cells << cell(row, c);
        return cells.join(QLatin1Char('|'));
    }
    QString cell(int row, int col) const { return core.MSFlexGrid1->TextMatrix(row, col); }
    QString lcd(int i) const { return core.lcd.lblLCD[std::size_t(i)].Caption; }
    QString caption(int row) const { return core.panel.Label1[std::size_t(row)].Caption; }
    QString value(int row) const { return core.panel.Label2[std::size_t(row)].Caption; }
};
