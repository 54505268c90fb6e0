#pragma once
#include <QString>

// A value that holds nothing, a number or a text. "Nothing" compares equal to
// 0 and to "" and counts as 0 in arithmetic: several decoders depend on that
// before the first frame of a kind has arrived (a meter family never received
// counts as family 0, a temperature unit never received is not 1).
class Variant
{
public:
    Variant() = default;
    Variant(double d) : kind_(Number), number_(d) {}
    Variant(int i) : kind_(Number), number_(i) {}
    Variant(const QString &s) : kind_(Text), text_(s) {}
    Variant(const char *s) : kind_(Text), text_(QString::fromUtf8(s)) {}

    bool isEmpty() const { return kind_ == Empty; }
    bool isNumber() const { return kind_ == Number; }
    bool isText() const { return kind_ == Text; }

    double toDouble() const;
    int toInt() const { return int(toDouble()); }
    QString toString() const;

    bool operator==(double d) const { return toDouble() == d && kind_ != Text; }
    bool operator==(int i) const { return *this == double(i); }
    bool operator==(const QString &s) const { return kind_ != Number && toString() == s; }

private:
    enum Kind { Empty, Number, Text };
    Kind kind_ = Empty;
    double number_ = 0;
    QString text_;
};
