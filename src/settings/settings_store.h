// The per-user settings store in the registry. Callers open the key, read or write, and close it.
#ifndef VANTREL_SETTINGS_STORE_H
#define VANTREL_SETTINGS_STORE_H

#include <windows.h>

int OpenSettingsKey(HINSTANCE instance, UINT rootId, UINT appId, UINT classId);
void CloseSettingsKey(void);
DWORD ReadSettingNumber(UINT nameId, DWORD defaultValue);
void ReadSettingText(UINT nameId, const char *defaultText, char *buffer, DWORD capacity);
void WriteSettingNumber(UINT nameId, DWORD value);
void WriteSettingText(UINT nameId, const char *text);
void LoadSettings(UINT &interval);
void SaveSettings(UINT &interval);

#endif
