// The settings store against the real Wine registry: the program's own key under
// HKEY_CURRENT_USER is removed before each test, so every test starts as a first run.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>

#include "resource.h"
#include "settings_store.h"

namespace {

const char KEY_PATH[] = "SOFTWARE\\ORACLE\\Vantrel 32-bit";

class Settings : public ::testing::Test {
protected:
    void SetUp() override
    {
        CloseSettingsKey();
        LONG result = RegDeleteTreeA(HKEY_CURRENT_USER, KEY_PATH);
        ASSERT_TRUE(result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND) << result;
        RegDeleteKeyA(HKEY_CURRENT_USER, KEY_PATH);
    }
    void TearDown() override { CloseSettingsKey(); }

    static void Open(void)
    {
        OpenSettingsKey(GetModuleHandleA(nullptr), IDS_REGROOT, IDS_APPKEY, IDS_KEYCLASS);
    }

    static bool KeyExists(void)
    {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, KEY_PATH, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }

    // Stores raw bytes under a value of the program's key, as another program or an older
    // version might have left them.
    static void Store(const char *name, DWORD type, const void *data, DWORD size)
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, KEY_PATH, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(key, name, 0, type, (const BYTE *)data, size), ERROR_SUCCESS);
        RegCloseKey(key);
    }

    static void StoreText(const char *name, const std::string &text)
    {
        Store(name, REG_SZ, text.c_str(), (DWORD)text.size() + 1);
    }

    struct Value {
        bool exists = false;
        DWORD type = 0;
        std::string data;
    };

    static Value Stored(const char *name)
    {
        Value value;
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, KEY_PATH, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return value;
        char data[512];
        DWORD size = sizeof data;
        if (RegQueryValueExA(key, name, nullptr, &value.type, (BYTE *)data, &size) == ERROR_SUCCESS) {
            value.exists = true;
            value.data.assign(data, size);
        }
        RegCloseKey(key);
        return value;
    }

    static std::set<std::string> ValueNames(void)
    {
        std::set<std::string> names;
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, KEY_PATH, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return names;
        for (DWORD i = 0;; i++) {
            char name[256];
            DWORD size = sizeof name;
            if (RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            names.insert(name);
        }
        RegCloseKey(key);
        return names;
    }
};

TEST_F(Settings, FirstRunCreatesTheKeyWithItsClassAndThePollPeriodIs500)
{
    ASSERT_FALSE(KeyExists());
    UINT interval = 1;
    LoadSettings(interval);
    EXPECT_EQ(interval, 500u);
    ASSERT_TRUE(KeyExists());
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, KEY_PATH, 0, KEY_READ, &key), ERROR_SUCCESS);
    char keyClass[64] = "";
    DWORD classSize = sizeof keyClass;
    EXPECT_EQ(RegQueryInfoKeyA(key, keyClass, &classSize, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_STREQ(keyClass, "Directory");
    RegCloseKey(key);
    EXPECT_TRUE(ValueNames().empty()) << "loading must not write";
}

TEST_F(Settings, SavedPollPeriodIsANumberValueAndLoadsBack)
{
    for (UINT period : {250u, 1u, 0u, 86400000u}) {
        UINT saved = period;
        SaveSettings(saved);
        Value value = Stored("TimerSpeed");
        ASSERT_TRUE(value.exists);
        EXPECT_EQ(value.type, (DWORD)REG_DWORD);
        ASSERT_EQ(value.data.size(), 4u);
        DWORD stored = 0;
        memcpy(&stored, value.data.data(), 4);
        EXPECT_EQ(stored, period);
        UINT loaded = 12345;
        LoadSettings(loaded);
        EXPECT_EQ(loaded, period);
    }
}

TEST_F(Settings, PollPeriodStoredAsTextIsReadAsADecimalNumber)
{
    const struct {
        DWORD type;
        std::string bytes;   // exactly what is stored, terminator included only where written
        DWORD expected;
    } cases[] = {
        {REG_SZ, std::string("250", 4), 250},
        {REG_SZ, std::string("no digits", 10), 0},
        {REG_SZ, std::string("", 1), 0},
        {REG_SZ, std::string("  \t+42", 7), 42},
        {REG_SZ, std::string(" -7", 4), (DWORD)-7},
        {REG_SZ, std::string("120ms", 6), 120},
        {REG_SZ, std::string("1 000", 6), 1},
        {REG_SZ, std::string("300", 3), 300},                          // stored without its terminator
        {REG_SZ, std::string("99999999999", 12), (DWORD)INT32_MAX},    // saturates, never wraps
        {REG_SZ, std::string("-99999999999", 13), (DWORD)INT32_MIN},
        {REG_EXPAND_SZ, std::string("75", 3), 75},
        {REG_SZ, std::string(60, ' ') + std::string("123", 4), 123},   // 64 bytes: still fits
        {REG_SZ, std::string(61, ' ') + std::string("123", 4), 500},   // 65 bytes: unread, default
        {REG_SZ, std::string(200, '7') + std::string(1, '\0'), 500},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE("stored \"" + c.bytes + "\"");
        SetUp();
        Store("TimerSpeed", c.type, c.bytes.data(), (DWORD)c.bytes.size());
        UINT interval = 1;
        LoadSettings(interval);
        EXPECT_EQ(interval, c.expected);
    }
}

TEST_F(Settings, TextsWriteWithTheirTerminatorAndReadBack)
{
    Open();
    WriteSettingText(IDS_USER, "scott");
    WriteSettingText(IDS_DATABASE, "");
    WriteSettingText(IDS_PIPE, "TRACE_PIPE");
    CloseSettingsKey();

    Value user = Stored("User");
    ASSERT_TRUE(user.exists);
    EXPECT_EQ(user.type, (DWORD)REG_SZ);
    EXPECT_EQ(user.data, std::string("scott", 6));
    EXPECT_EQ(Stored("Database").data, std::string("", 1));

    char buffer[64];
    Open();
    memset(buffer, 'x', sizeof buffer);
    ReadSettingText(IDS_USER, "", buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "scott");
    memset(buffer, 'x', sizeof buffer);
    ReadSettingText(IDS_DATABASE, "default", buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "");
    ReadSettingText(IDS_PIPE, "VANTREL32", buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "TRACE_PIPE");
    CloseSettingsKey();
}

TEST_F(Settings, MissingTextsGiveTheCallersDefaults)
{
    char user[64] = "left over", pipe[64] = "left over";
    Open();
    ReadSettingText(IDS_USER, "", user, sizeof user);
    ReadSettingText(IDS_PIPE, "VANTREL32", pipe, sizeof pipe);
    CloseSettingsKey();
    EXPECT_STREQ(user, "");
    EXPECT_STREQ(pipe, "VANTREL32");
}

TEST_F(Settings, TextThatDoesNotFitTheBufferIsNotRead)
{
    // Wine hands a REG_SZ back with a terminator it adds itself; binary data shows what Windows
    // does with any text stored without one.
    const struct {
        DWORD type;
        std::string bytes;
        bool read;
    } cases[] = {
        {REG_SZ, std::string(63, 'u') + std::string(1, '\0'), true},    // 64 bytes with the terminator
        {REG_SZ, std::string(64, 'u') + std::string(1, '\0'), false},   // one character too many
        {REG_SZ, std::string(300, 'u') + std::string(1, '\0'), false},
        {REG_SZ, std::string(64, 'u'), false},                           // fills the buffer, no terminator
        {REG_BINARY, std::string(64, 'u'), false},
        {REG_SZ, std::string(10, 'u'), true},                            // no terminator, room for one
        {REG_BINARY, std::string(10, 'u'), true},
        {REG_BINARY, std::string(63, 'u'), true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.bytes.size()) + " bytes of type " + std::to_string(c.type));
        SetUp();
        Store("User", c.type, c.bytes.data(), (DWORD)c.bytes.size());
        char buffer[64 + 8];
        memset(buffer, 'x', sizeof buffer);
        strcpy(buffer, "previous");
        Open();
        ReadSettingText(IDS_USER, "default", buffer, 64);
        CloseSettingsKey();
        EXPECT_EQ(buffer[64], 'x') << "wrote past the capacity";
        if (c.read)
            EXPECT_EQ(std::string(buffer), std::string(c.bytes.c_str()));
        else
            EXPECT_STREQ(buffer, "previous");
    }
}

TEST_F(Settings, NothingIsStoredUnderThePasswordStringOrWithoutAName)
{
    Open();
    WriteSettingText(IDS_USER, "scott");
    WriteSettingText(IDS_DATABASE, "orcl");
    WriteSettingText(IDS_PIPE, "VANTREL32");
    WriteSettingText(5, "tiger");                      // there is no string 5
    WriteSettingNumber(5, 1234);
    WriteSettingNumber(IDS_TIMERSPEED, 750);
    EXPECT_EQ(ReadSettingNumber(5, 99), 0u);           // no name: no number either
    char buffer[64] = "unchanged";
    ReadSettingText(5, "default", buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "unchanged");
    CloseSettingsKey();
    EXPECT_EQ(ValueNames(), (std::set<std::string>{"User", "Database", "Pipe", "TimerSpeed"}));
    EXPECT_FALSE(Stored("").exists) << "nothing under the key's default value";
}

TEST_F(Settings, WithoutAnOpenKeyReadsGiveDefaultsAndWritesAreLost)
{
    // A failed open: string 5 does not exist, so nothing is created.
    EXPECT_EQ(OpenSettingsKey(GetModuleHandleA(nullptr), IDS_REGROOT, IDS_APPKEY, 5), 0);
    EXPECT_EQ(ReadSettingNumber(IDS_TIMERSPEED, 500), 500u);
    char buffer[64] = "before";
    ReadSettingText(IDS_PIPE, "VANTREL32", buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "VANTREL32");
    WriteSettingText(IDS_USER, "scott");
    WriteSettingNumber(IDS_TIMERSPEED, 42);
    CloseSettingsKey();
    EXPECT_FALSE(KeyExists());

    // After a good use, closing leaves nothing open for a later stray write.
    Open();
    WriteSettingNumber(IDS_TIMERSPEED, 42);
    CloseSettingsKey();
    WriteSettingNumber(IDS_TIMERSPEED, 43);
    UINT interval = 0;
    LoadSettings(interval);
    EXPECT_EQ(interval, 42u);
}

TEST_F(Settings, ANumberValueOfTheWrongSizeGivesTheDefault)
{
    // A REG_DWORD must be 4 bytes; a damaged one is not half-read.
    const unsigned char eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    Store("TimerSpeed", REG_DWORD, eight, sizeof eight);
    UINT interval = 0;
    LoadSettings(interval);
    EXPECT_EQ(interval, 500u);
    const unsigned char two[2] = {0x10, 0x00};
    SetUp();
    Store("TimerSpeed", REG_DWORD, two, sizeof two);
    LoadSettings(interval);
    EXPECT_EQ(interval, 500u);
}

}
