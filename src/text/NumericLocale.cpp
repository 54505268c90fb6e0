#include "text/NumericLocale.h"

CNumbersHere::CNumbersHere()
{
    // The thread's locale as it is, with only its numbers in C.
    const locale_t current = uselocale(nullptr);
    const locale_t base = duplocale(current);
    if (!base)
        return;
    c_ = newlocale(LC_NUMERIC_MASK, "C", base);
    if (!c_) {
        freelocale(base);
        return;
    }
    previous_ = uselocale(c_);
}

CNumbersHere::~CNumbersHere()
{
    if (!c_)
        return;
    uselocale(previous_);
    freelocale(c_);
}
