// Decimal parsing for settings stored as text; see setting_number.h.
#include "setting_number.h"

int32_t ParseSettingNumber(const char *text, size_t length)
{
    size_t i = 0;
    while (i < length && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        i++;
    bool negative = false;
    if (i < length && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        i++;
    }
    // Accumulate the magnitude in 64 bits and stop growing once it is past the 32-bit range.
    const int64_t limit = negative ? -(int64_t)INT32_MIN : (int64_t)INT32_MAX;
    int64_t magnitude = 0;
    for (; i < length && text[i] >= '0' && text[i] <= '9'; i++) {
        if (magnitude < limit)
            magnitude = magnitude * 10 + (text[i] - '0');
    }
    if (magnitude > limit)
        magnitude = limit;
    return (int32_t)(negative ? -magnitude : magnitude);
}
