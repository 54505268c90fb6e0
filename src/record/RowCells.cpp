#include "record/RowCells.h"

#include <algorithm>

namespace rowcells {
namespace {

// Deeper than any body the recorder writes; deeper ones go to the full parser.
constexpr int kMaxDepth = 32;

// Code points the scanner leaves to the full parser, whatever a UTF-8
// decoder makes of them: the byte order mark and the noncharacters.
bool special(char32_t u)
{
    return u == 0xFEFF || (u >= 0xFDD0 && u <= 0xFDEF) || (u & 0xFFFE) == 0xFFFE;
}

char *putUtf8(char *d, char32_t u)
{
    if (u < 0x80) {
        *d++ = char(u);
    } else if (u < 0x800) {
        *d++ = char(0xC0 | u >> 6);
        *d++ = char(0x80 | (u & 0x3F));
    } else if (u < 0x10000) {
        *d++ = char(0xE0 | u >> 12);
        *d++ = char(0x80 | (u >> 6 & 0x3F));
        *d++ = char(0x80 | (u & 0x3F));
    } else {
        *d++ = char(0xF0 | u >> 18);
        *d++ = char(0x80 | (u >> 12 & 0x3F));
        *d++ = char(0x80 | (u >> 6 & 0x3F));
        *d++ = char(0x80 | (u & 0x3F));
    }
    return d;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

class Scanner
{
public:
    Scanner(std::string_view body, std::string &scratch)
        : p_(body.data()), end_(body.data() + body.size()), scratch_(scratch)
    {
        // Unescaping never lengthens a string, so the body's size is room
        // for every string in it, and nothing written there moves.
        scratch_.resize(body.size());
    }

    bool document(Cells &cells)
    {
        cells.fill({});
        return object(0, &cells) && p_ == end_;
    }

private:
    bool eat(char c)
    {
        if (p_ == end_ || *p_ != c)
            return false;
        ++p_;
        return true;
    }
    bool peek(char c) const { return p_ != end_ && *p_ == c; }

    bool value(int depth)
    {
        if (p_ == end_)
            return false;
        switch (*p_) {
        case '"': return string(nullptr);
        case '{': return object(depth, nullptr);
        case '[': return array(depth);
        case 't': return literal("true");
        case 'f': return literal("false");
        case 'n': return literal("null");
        default: return number();
        }
    }

    // `cells` for the top level, where "cells" is looked for.
    bool object(int depth, Cells *cells)
    {
        if (depth > kMaxDepth || !eat('{'))
            return false;
        if (eat('}'))
            return true;
        bool seen = false;
        do {
            std::string_view key;
            if (!string(&key) || !eat(':'))
                return false;
            if (cells && key == "cells") {
                if (seen)
                    return false;   // which one counts is the full parser's business
                seen = true;
                if (!(peek('[') ? cellArray(depth + 1, *cells) : value(depth + 1)))
                    return false;
            } else if (!value(depth + 1)) {
                return false;
            }
        } while (eat(','));
        return eat('}');
    }

    bool array(int depth)
    {
        if (depth > kMaxDepth || !eat('['))
            return false;
        if (eat(']'))
            return true;
        do {
            if (!value(depth + 1))
                return false;
        } while (eat(','));
        return eat(']');
    }

    bool cellArray(int depth, Cells &cells)
    {
        if (depth > kMaxDepth || !eat('['))
            return false;
        if (eat(']'))
            return true;
        std::size_t i = 0;
        do {
            if (peek('"')) {
                std::string_view text;
                if (!string(&text))
                    return false;
                if (i < cells.size())
                    cells[i] = text;
            } else if (!value(depth + 1)) {
                return false;   // a cell that is no string stays empty
            }
            ++i;
        } while (eat(','));
        return eat(']');
    }

    bool literal(std::string_view word)
    {
        if (std::size_t(end_ - p_) < word.size() || std::string_view(p_, word.size()) != word)
            return false;
        p_ += word.size();
        return true;
    }

    // Integers and plain decimals of up to 15 digits a part: every one a
    // double holds, which any parser takes.
    bool number()
    {
        eat('-');
        const char *digits = p_;
        while (p_ != end_ && *p_ >= '0' && *p_ <= '9')
            ++p_;
        const auto whole = p_ - digits;
        if (whole == 0 || whole > 15 || (whole > 1 && *digits == '0'))
            return false;
        if (eat('.')) {
            const char *fraction = p_;
            while (p_ != end_ && *p_ >= '0' && *p_ <= '9')
                ++p_;
            if (p_ == fraction || p_ - fraction > 15)
                return false;
        }
        return true;   // an exponent fails at the caller's next token
    }

    // One UTF-8 sequence beginning at p_ (a byte of 0x80 or more).
    bool utf8()
    {
        const auto *s = reinterpret_cast<const unsigned char *>(p_);
        const unsigned char b = s[0];
        std::size_t n = 0;
        char32_t u = 0;
        if (b >= 0xC2 && b <= 0xDF) {
            n = 2;
            u = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            n = 3;
            u = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            n = 4;
            u = b & 0x07;
        } else {
            return false;
        }
        if (std::size_t(end_ - p_) < n)
            return false;
        for (std::size_t i = 1; i < n; ++i) {
            if ((s[i] & 0xC0) != 0x80)
                return false;
            u = u << 6 | (s[i] & 0x3F);
        }
        static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        if (u < kLeast[n] || (u >= 0xD800 && u <= 0xDFFF) || u > 0x10FFFF || special(u))
            return false;
        p_ += n;
        return true;
    }

    // \uXXXX after the backslash and the u; a surrogate pair as one.
    bool codePoint(char32_t *u)
    {
        auto four = [this](char32_t *v) {
            if (end_ - p_ < 4)
                return false;
            *v = 0;
            for (int i = 0; i < 4; ++i) {
                const int h = hexValue(*p_++);
                if (h < 0)
                    return false;
                *v = *v << 4 | char32_t(h);
            }
            return true;
        };
        if (!four(u))
            return false;
        if (*u >= 0xDC00 && *u <= 0xDFFF)
            return false;
        if (*u >= 0xD800 && *u <= 0xDBFF) {
            char32_t low = 0;
            if (!eat('\\') || !eat('u') || !four(&low) || low < 0xDC00 || low > 0xDFFF)
                return false;
            *u = 0x10000 + ((*u - 0xD800) << 10) + (low - 0xDC00);
        }
        return !special(*u);
    }

    // A string from its opening quote; its text to *out where wanted.
    bool string(std::string_view *out)
    {
        if (!eat('"'))
            return false;
        const char *start = p_;
        while (p_ != end_) {
            const auto c = static_cast<unsigned char>(*p_);
            if (c == '"') {
                if (out)
                    *out = std::string_view(start, std::size_t(p_ - start));
                ++p_;
                return true;
            }
            if (c == '\\')
                return escaped(start, out);
            if (c < 0x20)
                return false;
            if (c < 0x80)
                ++p_;
            else if (!utf8())
                return false;
        }
        return false;
    }

    // The rest of a string that has escapes, unescaped into the scratch.
    bool escaped(const char *start, std::string_view *out)
    {
        char *const begin = scratch_.data() + used_;
        char *d = std::copy(start, p_, begin);
        while (p_ != end_) {
            const auto c = static_cast<unsigned char>(*p_);
            if (c == '"') {
                ++p_;
                used_ = std::size_t(d - scratch_.data());
                if (out)
                    *out = std::string_view(begin, std::size_t(d - begin));
                return true;
            }
            if (c < 0x20)
                return false;
            if (c >= 0x80) {
                const char *from = p_;
                if (!utf8())
                    return false;
                d = std::copy(from, p_, d);
                continue;
            }
            ++p_;
            if (c != '\\') {
                *d++ = char(c);
                continue;
            }
            if (p_ == end_)
                return false;
            char32_t u = 0;
            switch (*p_++) {
            case '"': *d++ = '"'; break;
            case '\\': *d++ = '\\'; break;
            case '/': *d++ = '/'; break;
            case 'b': *d++ = '\b'; break;
            case 'f': *d++ = '\f'; break;
            case 'n': *d++ = '\n'; break;
            case 'r': *d++ = '\r'; break;
            case 't': *d++ = '\t'; break;
            case 'u':
                if (!codePoint(&u))
                    return false;
                d = putUtf8(d, u);
                break;
            default: return false;
            }
        }
        return false;
    }

    const char *p_;
    const char *end_;
    std::string &scratch_;
    std::size_t used_ = 0;
};

} // namespace

bool scan(std::string_view body, Cells &cells, std::string &scratch)
{
    return Scanner(body, scratch).document(cells);
}

} // namespace rowcells
