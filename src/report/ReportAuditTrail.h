#pragma once
#include "report/ReportData.h"

#include <QJsonObject>
#include <QList>

// The audit trail as a reviewer reads it, built from a recording's events
// in the order of its chain.
//
// The chain keeps events in the order they were written, which is not the
// order they happened: what a run saw before its first row (program start,
// port opened, model) is written after the recording's `begin`, and a
// recording closed or restored by a later run gets that run's events at its
// end. Each event carries the computer's time and its run's monotonic clock
// (`mono_ms`); `utc - mono_ms` is the moment its run began. So: a run is
// the events sharing that moment (a clock jump, which shifts it, is
// followed through its `clock_jump` event), runs come in the order the
// chain first shows them, and within a run the monotonic clock decides,
// which a clock set by hand cannot disturb.
class AuditTrailBuilder
{
public:
    void add(const QJsonObject &event);
    // The events in time order, each with a readable name and detail. An
    // event without clocks (a store of the first layout) keeps its place
    // behind the one written before it.
    QList<ReportEvent> result() const;

private:
    struct Item
    {
        QJsonObject event;
        int run = 0;            // index of its run, in the order runs appear
        qint64 mono = 0;
        qint64 utc = 0;         // ms since 1970, or the one's before it
        int chain = 0;          // place in the chain
        bool clocked = false;   // it has both clocks of its own
    };
    int runOf(const QJsonObject &event, qint64 &mono);

    QList<Item> items_;
    QList<qint64> runBegan_;    // per run: utc - mono_ms, and aliases after a clock jump
    QList<int> runIndex_;       // the run each entry of runBegan_ stands for
    int lastRun_ = 0;
    qint64 lastMono_ = 0, lastUtc_ = 0;
    int runs_ = 0;
};

// An event's name as a reviewer reads it ("port_opened" -> "port opened").
QString auditEventName(const QString &event);

// An ISO 8601 time with its offset on one line that does not break:
// "2026-03-07T09:05:02.123+01:00" -> "2026-03-07 09:05:02.123 +01:00".
QString auditTime(const QString &iso);

// What a settings frame changed on the panel, against the frame before
// (`previous` empty: the first of the recording). Rows are [caption, value].
QString settingsChange(const QJsonObject &previous, const QJsonObject &current);
