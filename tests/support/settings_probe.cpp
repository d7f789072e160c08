// Direct registry access to the program's settings key for tests.
#include "settings_probe.h"

#include <windows.h>

#include <vector>

const char SETTINGS_KEY_PATH[] = "SOFTWARE\\ORACLE\\Vantrel 32-bit";

void DeleteSettingsKey(void)
{
    RegDeleteTreeA(HKEY_CURRENT_USER, SETTINGS_KEY_PATH);
}

void StoreSettingText(const char *name, const std::string &text)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY_PATH, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name, 0, REG_SZ, (const BYTE *)text.c_str(), (DWORD)text.size() + 1);
    RegCloseKey(key);
}

std::string StoredSettingText(const char *name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY_PATH, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "<none>";
    std::string result = "<none>";
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
        std::vector<char> data(size + 1, '\0');
        if (RegQueryValueExA(key, name, nullptr, nullptr, (BYTE *)data.data(), &size) == ERROR_SUCCESS)
            result = data.data();
    }
    RegCloseKey(key);
    return result;
}

bool StoredSettingNumber(const char *name, unsigned long *value)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY_PATH, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0, size = sizeof *value;
    LONG status = RegQueryValueExA(key, name, nullptr, &type, (BYTE *)value, &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_DWORD;
}

bool StoreSettingNumber(const char *name, unsigned long value)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY_PATH, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    DWORD number = value;
    RegSetValueExA(key, name, 0, REG_DWORD, (const BYTE *)&number, sizeof number);
    RegCloseKey(key);
    return true;
}

namespace {

bool BytesContain(const char *data, size_t size, const std::string &text)
{
    return !text.empty() && std::string(data, size).find(text) != std::string::npos;
}

bool KeyContains(HKEY parent, const char *path, const std::string &text)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    bool found = false;
    for (DWORD index = 0; !found; index++) {
        char name[16384];
        DWORD nameLength = sizeof name;
        BYTE data[65536];
        DWORD dataLength = sizeof data;
        if (RegEnumValueA(key, index, name, &nameLength, nullptr, nullptr, data, &dataLength) != ERROR_SUCCESS)
            break;
        found = BytesContain(name, nameLength, text) || BytesContain((const char *)data, dataLength, text);
    }
    for (DWORD index = 0; !found; index++) {
        char name[256];
        DWORD nameLength = sizeof name;
        if (RegEnumKeyExA(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        found = KeyContains(key, name, text);
    }
    RegCloseKey(key);
    return found;
}

}

bool SettingsKeyContains(const std::string &text)
{
    return KeyContains(HKEY_CURRENT_USER, SETTINGS_KEY_PATH, text);
}
