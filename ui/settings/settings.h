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
extern std::string g_strSettingsIni;   // where settings are written: program folder + "Settings.INI",
                                       // or the user's file when the program folder cannot be written
extern std::string g_strDefaultSettingsIni;  // the shipped file: program folder + "Settings.INI"
extern std::string g_strLanguageIni;   // program folder + "Lang/" + name + ".INI"
extern std::string g_strSourceExt;     // extension of the chosen file, without the dot
extern std::string g_strSourceTitle;   // name of the chosen file without folder and extension
extern std::string g_strSourcePath;    // the chosen file
extern std::string g_strWorkingPath;   // the repaired copy the last repair left for saving; empty for none

// Forms the paths from the executable's folder and reads the language index.
// An installed program (bin/deckmend) finds its files in ../share/deckmend/.
void InitSettings();
// The same from a given program folder (with or without trailing slash).
void InitSettings(const std::string& appFolder);
// The same, told whether the program folder can be written: when it cannot,
// settings go to UserSettingsPath() and are read from there first, the
// shipped file giving what the user's file does not hold.
void InitSettings(const std::string& appFolder, bool programFolderWritable);
// $XDG_CONFIG_HOME/deckmend/Settings.INI, with ~/.config when the variable is unset or empty.
std::string UserSettingsPath();
// The program's data folder for an executable in `exeFolder` (with trailing
// slash): the folder itself when it holds "Lang/", else ../share/deckmend/ when that does.
std::string ProgramDataFolder(const std::string& exeFolder);

// A value of the settings: the user's file first, then the shipped file.
std::string ReadSetting(const char* section, const char* key);
// Writes a value where settings are kept; FALSE when it cannot be written.
BOOL WriteSetting(const char* section, const char* key, const std::string& value);

// The text of an "IDS_" key from the language file, cut to `size` - 1
// characters; a missing file or key gives an empty text.
std::string LoadLangString(const char* key, std::size_t size = 1000);

// The language index stored in the settings file, 0 (English) when missing,
// not a number or out of range.
int ReadLanguageIndex();
// Makes `index` the current language; FALSE (nothing changed) when it already is.
BOOL SwitchLanguage(int index);

// Version of the installed PowerPoint (97, 2000, 2002, 2003, 2007 or 2010), as
// the start-up check found it.
extern int g_nPowerPointVersion;
