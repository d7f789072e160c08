// Looks at the program's settings key in the real registry from tests: clears it for a first run,
// reads a stored text, and searches every value for a secret that must never be stored.
#ifndef VANTREL_SETTINGS_PROBE_H
#define VANTREL_SETTINGS_PROBE_H

#include <string>

extern const char SETTINGS_KEY_PATH[];   // under HKEY_CURRENT_USER

// Deletes the key with its values, as on a machine where the program never ran.
void DeleteSettingsKey(void);

// Stores a text value directly, as an earlier run of the program would have.
void StoreSettingText(const char *name, const std::string &text);

// The stored text of a value, or "<none>" when there is no such value (or no key).
std::string StoredSettingText(const char *name);

// Reads a REG_DWORD value; false when there is no key, no value or a value of another type.
bool StoredSettingNumber(const char *name, unsigned long *value);

// Stores a REG_DWORD value directly, creating the key if needed; false when the key cannot be made.
bool StoreSettingNumber(const char *name, unsigned long value);

// True when any value name or value data under the key (and its sub-keys) contains the text.
bool SettingsKeyContains(const std::string &text);

#endif
