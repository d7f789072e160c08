// Reads a poll period that was stored as text instead of a number. Pure; used by the settings
// store and fuzzed natively.
#ifndef VANTREL_SETTING_NUMBER_H
#define VANTREL_SETTING_NUMBER_H

#include <stddef.h>
#include <stdint.h>

// The decimal number at the start of text[0..length): leading white space skipped, an optional
// sign, then digits up to the first other character or a zero byte; 0 when there are no digits.
// Never reads past length (registry text need not be terminated). Out-of-range numbers saturate
// at INT32_MIN and INT32_MAX instead of wrapping.
int32_t ParseSettingNumber(const char *text, size_t length);

#endif
