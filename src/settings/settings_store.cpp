// The per-user settings in HKEY_CURRENT_USER. The key path and value names come from the string
// table; the store reports nothing and shows nothing: a failed open makes reads give their
// defaults and writes do nothing.
#include "settings_store.h"

#include <string.h>

#include "program_state.h"
#include "resource.h"
#include "setting_number.h"

namespace {

const int SETTINGS_TEXT_SIZE = 64;         // key path, class, value name and a number read as text

struct SettingsStore {
    HKEY key;                              // nullptr while no key is open
    HINSTANCE instance;                    // module whose string table names the values
    char path[SETTINGS_TEXT_SIZE];
    char keyClass[SETTINGS_TEXT_SIZE];
    char valueName[SETTINGS_TEXT_SIZE];
};

SettingsStore store;

// Loads the name of a value into store.valueName; 0 when the string table has no such text.
int LoadValueName(UINT nameId)
{
    return LoadStringA(store.instance, nameId, store.valueName, SETTINGS_TEXT_SIZE) > 0;
}

}

int OpenSettingsKey(HINSTANCE instance, UINT rootId, UINT appId, UINT classId)
{
    CloseSettingsKey();                    // keys are never nested; never leak one
    char app[SETTINGS_TEXT_SIZE];
    int rootLength = LoadStringA(instance, rootId, store.path, SETTINGS_TEXT_SIZE);
    int appLength = LoadStringA(instance, appId, app, SETTINGS_TEXT_SIZE);
    int classLength = LoadStringA(instance, classId, store.keyClass, SETTINGS_TEXT_SIZE);
    if (rootLength == 0 || appLength == 0 || classLength == 0)
        return 0;
    if (rootLength + appLength >= SETTINGS_TEXT_SIZE)
        return 0;                          // the joined path would not fit its buffer
    memcpy(store.path + rootLength, app, appLength + 1);
    store.instance = instance;
    HKEY key = nullptr;
    DWORD disposition = 0;
    LONG result = RegCreateKeyExA(HKEY_CURRENT_USER, store.path, 0, store.keyClass, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &key, &disposition);
    if (result != ERROR_SUCCESS)
        return 0;
    store.key = key;
    return 1;
}

void CloseSettingsKey(void)
{
    if (store.key == nullptr)
        return;
    RegFlushKey(store.key);
    RegCloseKey(store.key);
    store.key = nullptr;
}

DWORD ReadSettingNumber(UINT nameId, DWORD defaultValue)
{
    if (store.key == nullptr)
        return defaultValue;
    if (!LoadValueName(nameId))
        return 0;
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(store.key, store.valueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return defaultValue;
    if (type == REG_DWORD) {
        DWORD value = 0;
        size = sizeof value;
        if (RegQueryValueExA(store.key, store.valueName, nullptr, nullptr, (BYTE *)&value, &size) != ERROR_SUCCESS
            || size != sizeof value)
            return defaultValue;
        return value;
    }
    // Any other type is taken as decimal text. Text too long for the buffer gives no number,
    // so the caller's default stands.
    char text[SETTINGS_TEXT_SIZE];
    size = sizeof text;
    if (RegQueryValueExA(store.key, store.valueName, nullptr, nullptr, (BYTE *)text, &size) != ERROR_SUCCESS)
        return defaultValue;
    return (DWORD)ParseSettingNumber(text, size);
}

void ReadSettingText(UINT nameId, const char *defaultText, char *buffer, DWORD capacity)
{
    if (capacity == 0)
        return;
    if (store.key == nullptr) {
        lstrcpynA(buffer, defaultText, (int)capacity);
        return;
    }
    if (!LoadValueName(nameId))
        return;
    DWORD size = 0;
    if (RegQueryValueExA(store.key, store.valueName, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) {
        lstrcpynA(buffer, defaultText, (int)capacity);
        return;
    }
    if (size > capacity)
        return;                            // too long: the caller keeps what it had
    // Read into a copy first: a stored text need not end with a zero byte, and one that fills
    // the whole buffer without it is as much too long as one that does not fit.
    HANDLE heap = GetProcessHeap();
    char *data = (char *)HeapAlloc(heap, 0, size + 1);
    if (data == nullptr)
        return;
    DWORD read = size;
    if (RegQueryValueExA(store.key, store.valueName, nullptr, nullptr, (BYTE *)data, &read) == ERROR_SUCCESS) {
        data[read] = '\0';
        size_t length = strlen(data);
        if (length < capacity)
            memcpy(buffer, data, length + 1);
    }
    HeapFree(heap, 0, data);
}

void WriteSettingNumber(UINT nameId, DWORD value)
{
    if (store.key == nullptr || !LoadValueName(nameId))
        return;
    RegSetValueExA(store.key, store.valueName, 0, REG_DWORD, (const BYTE *)&value, sizeof value);
}

void WriteSettingText(UINT nameId, const char *text)
{
    if (store.key == nullptr || !LoadValueName(nameId))
        return;
    // The terminating zero is stored too.
    RegSetValueExA(store.key, store.valueName, 0, REG_SZ, (const BYTE *)text, (DWORD)strlen(text) + 1);
}

void LoadSettings(UINT &interval)
{
    OpenSettingsKey(GetModuleHandleA(nullptr), IDS_REGROOT, IDS_APPKEY, IDS_KEYCLASS);
    interval = ReadSettingNumber(IDS_TIMERSPEED, DEFAULT_TIMER_INTERVAL);
    CloseSettingsKey();
}

void SaveSettings(UINT &interval)
{
    OpenSettingsKey(GetModuleHandleA(nullptr), IDS_REGROOT, IDS_APPKEY, IDS_KEYCLASS);
    WriteSettingNumber(IDS_TIMERSPEED, interval);
    CloseSettingsKey();
}
