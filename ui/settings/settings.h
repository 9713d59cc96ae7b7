#pragma once
// Settings file, language strings and the process-wide values that the pages,
// the dialogs and the repair job read.
#include <cstddef>
#include <string>

#include "platform/win_types.h"

// Section of both INI files: the product's short name.
inline constexpr const char* kSettingsSection = "Deckmend PPT";
inline constexpr int kLanguageCount = 5;
// Language names by index, as stored in the settings file.
extern const char* const kLanguageNames[kLanguageCount];

extern BOOL g_bWindows6;
extern std::string g_strAppFolder;     // program folder, with trailing slash
extern std::string g_strSettingsIni;   // program folder + "Settings.INI"
extern std::string g_strLanguageIni;   // program folder + "Lang/" + name + ".INI"
extern std::string g_strSourceExt;     // extension of the chosen file, without the dot
extern std::string g_strSourceTitle;   // name of the chosen file without folder and extension

// Forms the paths from the executable's folder and reads the language index.
void InitSettings();
// The same from a given program folder (with or without trailing slash).
void InitSettings(const std::string& appFolder);

// The text of an "IDS_" key from the language file, cut to `size` - 1
// characters; a missing file or key gives an empty text.
std::string LoadLangString(const char* key, std::size_t size = 1000);

// The language index stored in the settings file, 0 (English) when missing,
// not a number or out of range.
int ReadLanguageIndex();
// Makes `index` the current language; FALSE (nothing changed) when it already is.
BOOL SwitchLanguage(int index);
