#pragma once
#include <QStringView>

// The meter's 4-character hexadecimal fields. Positions are 1-based on the
// frame content (position 1 is the type letter). Hex digits are read from the
// left up to the first character that is not one; a field that is empty,
// not hexadecimal or beyond the end of the content reads as 0, one cut short
// reads as the digits present. Four digits are a 16-bit two's-complement
// number (FFFF -> -1).
int HexSigned(QStringView content, int position);

// The same field as a packed word of bit fields: 0..65535.
inline int HexPacked(QStringView content, int position)
{
    const int v = HexSigned(content, position);
    return v < 0 ? v + 65536 : v;
}

// Bits hi..lo of a packed word, as (word Mod 2^(hi+1)) \ 2^lo.
constexpr int Bits(int word, int hi, int lo)
{
    return (word % (1 << (hi + 1))) / (1 << lo);
}
