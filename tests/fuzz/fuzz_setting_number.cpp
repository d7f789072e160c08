// Arbitrary registry text through the setting-number parser: it reads only the given bytes
// (the copy below has no terminator, so AddressSanitizer sees any read past it) and agrees with
// a plain reference on where the digits are.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "setting_number.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    char *text = (char *)malloc(size == 0 ? 1 : size);
    memcpy(text, data, size);
    int32_t value = ParseSettingNumber(text, size);

    // Reference: skip white space, a sign, then digits; saturate at the 32-bit limits.
    size_t i = 0;
    while (i < size && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        i++;
    bool negative = false;
    if (i < size && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long long magnitude = 0;
    while (i < size && text[i] >= '0' && text[i] <= '9') {
        magnitude = magnitude * 10 + (text[i++] - '0');
        if (magnitude > 2147483648LL)
            magnitude = 2147483648LL;
    }
    long long expected = negative ? -magnitude : magnitude;
    if (expected > INT32_MAX)
        expected = INT32_MAX;
    if ((long long)value != expected)
        abort();
    free(text);
    return 0;
}
