#pragma once
#include "shell/MainCore.h"
#include "shell/SerialLink.h"
#include "shell/UiPrompts.h"

// Reading `i` (1, 2, ...) as the meter sends it: the clock one second a row
// on, the value drifting.
QString readingFrame(long i, bool conductivity);

// A core as a user would have it after Clear, with readings fed through the
// receive tick as they would arrive: the clock one second a row on, the
// value drifting.
class FrameFeed
{
public:
    explicit FrameFeed(bool conductivity);
    MainCore &core() { return core_; }
    // The meter's settings frame again and Clear, as when the logger starts
    // on a meter: for a recorder attached after the feed was made.
    void settingsAndClear();
    // Handles reading `row` (1, 2, ...); the time it took in microseconds,
    // or -1 when it did not become that row of the table.
    double append(long row);
    // Readings `first`.. first + n - 1 arriving in one receive tick, as a
    // memory download's burst does; the time in microseconds, -1 when they
    // did not all become rows.
    double appendMany(long first, int n);

private:
    class NoLink : public SerialLink
    {
    public:
        bool open(const QString &) override { return false; }
        void close() override {}
        bool isOpen() const override { return false; }
        QByteArray readAll() override { return {}; }
        void write(const QByteArray &) override {}
        QString device() const override { return {}; }
    };
    class NoPrompts : public UiPrompts
    {
    public:
        void MsgBox(const QString &, Icon, const QString & = QString()) override {}
    };

    bool cond_;
    NoLink link_;
    NoPrompts prompts_;
    MainCore core_{&link_, &prompts_};
};
