#include "text/LeadingNumber.h"
#include "text/Variant.h"

double Variant::toDouble() const
{
    switch (kind_) {
    case Number: return number_;
    case Text: return Val(text_);
    case Empty: break;
    }
    return 0;
}

QString Variant::toString() const
{
    switch (kind_) {
    case Number: return QString::number(number_, 'g', 15);
    case Text: return text_;
    case Empty: break;
    }
    return QString();
}
