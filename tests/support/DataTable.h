#pragma once
#include <QtTest>

#include <tuple>

// A data table's columns in order, their types given as in addColumn:
// columns<QString, int>("frame", "rows").
template <class... T, class... Name>
void columns(Name... names)
{
    static_assert(sizeof...(T) == sizeof...(Name), "one name per column");
    (QTest::addColumn<T>(names), ...);
}

// One row of a data table: dataRow("name", a, b) is QTest::newRow("name") << a << b.
template <class... V>
void dataRow(const char *name, const V &...values)
{
    (QTest::newRow(name) << ... << values);
}

// The current row's values of the named columns, as a run of QFETCH would
// declare them: auto [frame, rows] = fetch<QString, int>("frame", "rows").
template <class... T, class... Name>
std::tuple<T...> fetch(Name... names)
{
    static_assert(sizeof...(T) == sizeof...(Name), "one name per column");
    return {*static_cast<T *>(QTest::qData(names, qMetaTypeId<T>()))...};
}
