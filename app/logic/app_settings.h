#pragma once
// The desktop program's settings: the process-wide AppSettings record and the
// settings file Tolvarinx.ini beside the program that keeps it between runs.
//
// The record is read once before the main window exists and written once when
// the main window closes; in between it changes only in memory, on the window
// thread. Conversion workers read OptFlag/DirFlag while a modal dialog keeps
// the menus that change them out of reach, so no lock is needed.

#include <cstdint>
#include <string>

#include "core/text_string.h"
#include "engine/png_optimizer.h"
#include "services/image_conversion.h"

// OptFlag bits. The low five are the engine's ConvertOptions bits OPT_* (the
// three comparisons, the extended search, menu "拡張探索(&X)", and the
// invisible colours' cleaning, 0x10); they and
// the extended search's level are all a conversion receives
// (conversionSettingsOf); other bits are kept as read. A settings file
// written before the extended search existed never has bit 0x8 set, so it
// loads with the search off.
constexpr uint16_t OPT_OPEN_DIALOG_PREVIEW = 0x0100;   // the open-file dialog previews files
constexpr uint16_t OPT_CLOSE_OUTPUT_DIALOG = 0x0200;   // the output dialog closes after success
// Conversions write an animated GIF as an animated PNG of every frame.
constexpr uint16_t OPT_ANIMATE_GIF = 0x1000;
// The extended search's level: a field of two bits, read only with
// OPT_EXTENDED_SEARCH. 0 and 2 are level 2, so a file written before the
// levels existed with the search on opens at level 2; optFlagWithExtendedLevel
// stores level 2 as 0, and 0 with the search off.
constexpr int kOptExtendedLevelShift = 10;
constexpr uint16_t OPT_EXTENDED_LEVEL_MASK = 0x0C00;
static_assert(((OPT_OPEN_DIALOG_PREVIEW | OPT_CLOSE_OUTPUT_DIALOG | OPT_EXTENDED_LEVEL_MASK | OPT_ANIMATE_GIF) &
               kConvertOptionBits) == 0 && (OPT_ANIMATE_GIF & OPT_EXTENDED_LEVEL_MASK) == 0,
              "the desktop's own OptFlag bits must lie outside the engine's");
static_assert(((OPT_OPEN_DIALOG_PREVIEW | OPT_CLOSE_OUTPUT_DIALOG) & OPT_EXTENDED_LEVEL_MASK) == 0 &&
                  (kMaxExtendedLevel << kOptExtendedLevelShift) == OPT_EXTENDED_LEVEL_MASK,
              "the level field holds every level and no other bit");

// The extended search's level that optFlag asks for: 0 with the search off,
// else kMinExtendedLevel to kMaxExtendedLevel.
int32_t extendedLevelOfOptFlag(uint16_t optFlag);
// optFlag with the extended search off (level 0) or on at level 1 to 3; its
// other bits unchanged. Any other level is taken as off.
uint16_t optFlagWithExtendedLevel(uint16_t optFlag, int32_t level);

// DirFlag bits: the folder conversion's options.
constexpr uint16_t DIR_SUBFOLDERS = 0x0001;
constexpr uint16_t DIR_KEEP_TIMESTAMP = 0x0002;
constexpr uint16_t DIR_KEEP_TRANSPARENT = 0x0004;

// The conversion settings of a run (the one mapping of the desktop's
// vocabulary; a table in the .cpp file): OptFlag's engine bits and extended
// level, and the folder run's DirFlag bits that are settings (time stamps,
// transparent colour), and the chunks keepChunks lists (KeepChunks; a list
// that does not parse keeps none). Every other bit is not a setting.
ConversionSettings conversionSettingsOf(uint16_t optFlag, uint16_t dirFlag, const char* keepChunks = "");
constexpr uint16_t DIR_BMP = 0x0040;
constexpr uint16_t DIR_PNG = 0x0080;
constexpr uint16_t DIR_GIF = 0x0100;

constexpr uint16_t kDefaultOptFlag = OPT_OPEN_DIALOG_PREVIEW;
constexpr uint16_t kDefaultDirFlag = 0;
// WinX/WinY value meaning "no stored position": the window is centred.
constexpr int32_t kNoWindowPosition = -10000;

constexpr const char* kSettingsFileName = "Tolvarinx.ini";
constexpr const char* kSettingsSection = "Tolvarinx3";

struct AppSettings {
    uint16_t OptFlag = 0;
    uint16_t DirFlag = 0;
    TextString OpenDir;   // folder of the last opened file, no trailing separator
    TextString SaveDir;   // folder of the last saved file, no trailing separator
    // The chunks a PNG input keeps, as the console's -kc list
    // (core/kept_chunks.h); empty keeps none. Key "KeepChunks", written only
    // when not empty, so a file without it reads as none.
    TextString KeepChunks;
};

// list with the group word (or chunk name) word added when on, taken out
// otherwise; words separated by commas.
std::string chunkListWith(const char* list, const char* word, bool on);
// Whether list names word (a group word in any case, a chunk name exactly).
bool chunkListHas(const char* list, const char* word);

// The program's settings, one per process (window thread).
extern AppSettings appSettings;

// The stored main-window position (left and top of its restored rectangle).
struct WindowPosition {
    int32_t x = kNoWindowPosition;
    int32_t y = kNoWindowPosition;
};

// out = the settings file's full path beside the program, or empty when the
// program's own path cannot be had (the file is then neither read nor written).
void settingsPath(TextString& out);

// Fills settings from the file at path; every key that is missing, and every
// key when the file cannot be read or has no "[Tolvarinx3]" section, takes its
// default. Returns the stored window position.
WindowPosition loadSettingsFrom(const char* path, AppSettings& settings);

// Writes the seven lines of the settings file, KeepChunks when it is not
// empty, and for a folder (OpenDir,
// SaveDir) whose code-page text is not the folder itself (a name the code
// page lacks) a line "<key>Utf8=" with its UTF-8 bytes escaped, which
// loadSettingsFrom prefers; a file without it (an older program's) reads as
// before. Folders are UTF-8 in memory. The file is replaced only when
// it was written completely, so a failed write keeps the previous settings.
// False (nothing changed) when path is empty or the file cannot be written.
bool saveSettingsTo(const char* path, const AppSettings& settings, WindowPosition position);

// loadSettingsFrom(settingsPath(), appSettings).
WindowPosition loadSettings();
