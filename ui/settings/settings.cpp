#include "ui/settings/settings.h"

#include <unistd.h>

#include <cstdio>
#include <vector>

#include "platform/ini_file.h"

const char* const kLanguageNames[kLanguageCount] = {"English", "French", "German", "Italian",
                                                     "Spanish"};

// The pages always take the modern font variants.
BOOL g_bWindows6 = TRUE;
std::string g_strAppFolder;
std::string g_strSettingsIni;
std::string g_strLanguageIni;
std::string g_strSourceExt;
std::string g_strSourceTitle;

namespace {

constexpr const char* kLanguageKey = "IDS_LANGUAGE";
constexpr std::size_t kLanguageValueSize = 200;  // characters

// Full path of the running executable, or empty when it cannot be read.
std::string ExecutablePath() {
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) return {};
        // A result that fills the buffer may have been cut: try a larger one.
        const auto used = static_cast<std::size_t>(length);
        if (used < buffer.size()) return {buffer.data(), used};
        buffer.resize(buffer.size() * 2);
    }
}

std::string FolderWithSlash(std::string folder) {
    if (folder.empty()) return "./";
    if (folder.back() != '/') folder += '/';
    return folder;
}

std::string LanguageIniPath(int index) {
    return g_strAppFolder + "Lang/" + kLanguageNames[index] + ".INI";
}

bool IsLanguageIndex(int index) {
    return index >= 0 && index < kLanguageCount;
}

}  // namespace

void InitSettings() {
    const std::string exe = ExecutablePath();
    const auto lastSlash = exe.rfind('/');
    InitSettings(lastSlash == std::string::npos ? std::string() : exe.substr(0, lastSlash + 1));
}

void InitSettings(const std::string& appFolder) {
    g_bWindows6 = TRUE;
    g_strAppFolder = FolderWithSlash(appFolder);
    g_strSettingsIni = g_strAppFolder + "Settings.INI";
    g_strLanguageIni = LanguageIniPath(ReadLanguageIndex());
}

std::string LoadLangString(const char* key, std::size_t size) {
    std::string text;
    if (key == nullptr) return text;
    GetPrivateProfileStringW(kSettingsSection, key, "", text, size, g_strLanguageIni);
    return text;
}

int ReadLanguageIndex() {
    std::string value;
    GetPrivateProfileStringW(kSettingsSection, kLanguageKey, "", value, kLanguageValueSize,
                             g_strSettingsIni);
    if (value.empty() || value.front() < '0' || value.front() > '9') return 0;
    const int index = value.front() - '0';
    return IsLanguageIndex(index) ? index : 0;
}

BOOL SwitchLanguage(int index) {
    if (!IsLanguageIndex(index) || index == ReadLanguageIndex()) return FALSE;
    g_strLanguageIni = LanguageIniPath(index);
    char digits[16];
    std::snprintf(digits, sizeof digits, "%d", index);
    // A settings file that cannot be written only loses the choice for the next start.
    WritePrivateProfileStringW(kSettingsSection, kLanguageKey, digits, g_strSettingsIni);
    return TRUE;
}
