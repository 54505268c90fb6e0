#pragma once
#include "text/Variant.h"

#include <QString>
#include <QtGlobal>
#include <array>

// The program-wide state: everything that outlives one event. The handlers
// and procedures of the main window talk to each other only through these
// variables, the controls' data and the serial port. Names are the ones the
// rest of the code and its readers use; a Variant starts empty, the rest at
// 0/false/"" unless start-up says otherwise.
struct Module1
{
    // Serial link and exchange control
    QString RxBuffer;            // received, not yet consumed; the frame content during a decoder call
    QString PollCommand;         // "A" until the first handled frame, then ""
    bool PollingOn = false;
    Variant ModelCode;
    QString ModelPrefix;

    // Last reading (live "D" or stored "S")
    Variant MeasMode;
    Variant PhDecimals;
    Variant ReadMonth;
    Variant ReadDay;
    Variant ReadHour;
    Variant ReadMinute;
    quint8 ReadSecond = 0;
    qint16 TempTenths = 0;
    quint8 MtcFlag = 0;
    Variant StoredValue;
    quint8 StoredUnit = 0;
    Variant PhValue;
    Variant MvValue;
    Variant PxValue;
    Variant CondRaw;
    Variant DoValue;
    Variant DoSaturation;
    Variant AirPressure;
    Variant DoSalinity;

    // Derived quantities
    double MolarMass = 0;
    Variant MolValue;
    double MgValue = 0;
    Variant CondComp;
    Variant ResValue;
    Variant TdsValue;
    Variant SalValue;
    std::array<qint16, 51> TempCoefTable{};

    // Meter settings (settings frames)
    Variant MeterFamily;         // 0 pH, 1 mV, 2 ISE, 3 COND, 4 DO
    Variant TempUnit;            // 1 = Celsius, anything else Fahrenheit
    qint16 TimerSetting = 0;
    quint8 SoluSet = 0;
    Variant PhPu1;
    quint8 PhPu2 = 0;
    Variant PhCalBuffers;
    quint8 PhCalCount = 0;
    Variant CalOffset;
    double CalSlope = 0;
    qint16 MvUref = 0;
    quint8 IonType = 0;
    Variant IseCal1;
    qint16 IseCal2 = 0;
    quint8 ConDecimals = 0;
    QString CellConstText;
    Variant CondTref;
    qint16 CondCtc = 0;
    Variant CondCalStd;
    quint8 DoResCode = 0;

    // Data table and chart
    qint32 GridRow = 0;
    // Seconds per chart step. 1 from start-up, so that a reading before the
    // table was ever laid out has a usable time axis; wide enough to keep
    // doubling for a log of any length.
    qint64 TimeBase = 1;
    Variant ValueScale;
    Variant TempScale;
    Variant StartSeconds;
    qint32 TimeSeconds = 0;
    QString TimeText;
};
