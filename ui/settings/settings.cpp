#include "ui/settings/settings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/ini_file.h"

int g_nPowerPointVersion = 0;

const char* const kLanguageNames[kLanguageCount] = {"English", "French", "German", "Italian",
                                                     "Spanish"};

// The pages always take the modern font variants.
BOOL g_bWindows6 = TRUE;
std::string g_strAppFolder;
std::string g_strSettingsIni;
std::string g_strDefaultSettingsIni;
std::string g_strLanguageIni;
std::string g_strSourceExt;
std::string g_strSourceTitle;
std::string g_strSourcePath;
std::string g_strWorkingPath;

namespace {

constexpr const char* kLanguageKey = "IDS_LANGUAGE";

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

bool IsFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

bool ProgramFolderWritable(const std::string& folder) {
    const std::string shipped = folder + "Settings.INI";
    return access(folder.c_str(), W_OK) == 0 && (!Exists(shipped) || access(shipped.c_str(), W_OK) == 0);
}

// Creates `path` and its parents (mode 0700, as a private configuration folder).
void MakeFolders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        mkdir(path.substr(0, slash).c_str(), 0700);
    mkdir(path.c_str(), 0700);
}

constexpr std::size_t kSettingValueSize = 200;  // characters

}  // namespace

void InitSettings() {
    const std::string exe = ExecutablePath();
    const auto lastSlash = exe.rfind('/');
    const std::string exeFolder = lastSlash == std::string::npos ? std::string() : exe.substr(0, lastSlash + 1);
    InitSettings(ProgramDataFolder(FolderWithSlash(exeFolder)));
}

void InitSettings(const std::string& appFolder) {
    const std::string folder = FolderWithSlash(appFolder);
    InitSettings(folder, ProgramFolderWritable(folder));
}

void InitSettings(const std::string& appFolder, bool programFolderWritable) {
    g_bWindows6 = TRUE;
    g_strAppFolder = FolderWithSlash(appFolder);
    g_strDefaultSettingsIni = g_strAppFolder + "Settings.INI";
    g_strSettingsIni = programFolderWritable ? g_strDefaultSettingsIni : UserSettingsPath();
    g_strLanguageIni = LanguageIniPath(ReadLanguageIndex());
}

std::string UserSettingsPath() {
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (configHome && *configHome == '/') {
        base = configHome;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home ? home : "") + "/.config";
    }
    return FolderWithSlash(base) + "deckmend/Settings.INI";
}

std::string ProgramDataFolder(const std::string& exeFolder) {
    if (IsFolder(exeFolder + "Lang")) return exeFolder;
    const std::string installed = exeFolder + "../share/deckmend/";
    return IsFolder(installed + "Lang") ? installed : exeFolder;
}

std::string ReadSetting(const char* section, const char* key) {
    std::string value;
    GetPrivateProfileStringW(section, key, "", value, kSettingValueSize, g_strSettingsIni);
    if (value.empty() && g_strSettingsIni != g_strDefaultSettingsIni)
        GetPrivateProfileStringW(section, key, "", value, kSettingValueSize, g_strDefaultSettingsIni);
    return value;
}

BOOL WriteSetting(const char* section, const char* key, const std::string& value) {
    if (g_strSettingsIni != g_strDefaultSettingsIni) {
        const auto slash = g_strSettingsIni.rfind('/');
        if (slash != std::string::npos && slash > 0) MakeFolders(g_strSettingsIni.substr(0, slash));
    }
    return WritePrivateProfileStringW(section, key, value, g_strSettingsIni);
}

std::string LoadLangString(const char* key, std::size_t size) {
    std::string text;
    if (key == nullptr) return text;
    GetPrivateProfileStringW(kSettingsSection, key, "", text, size, g_strLanguageIni);
    return text;
}

int ReadLanguageIndex() {
    const std::string value = ReadSetting(kSettingsSection, kLanguageKey);
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
    WriteSetting(kSettingsSection, kLanguageKey, digits);
    return TRUE;
}
