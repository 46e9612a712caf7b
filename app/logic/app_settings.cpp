#include "app/logic/app_settings.h"

#include <string>
#include <vector>

#include "app/logic/settings_file.h"
#include "core/path_text.h"
#include "core/replacing_file.h"

AppSettings appSettings;

namespace {

// Room reserved for each folder string at load; longer values grow it.
constexpr int kFolderReserve = 255;

// The DirFlag bits that are conversion settings.
constexpr SettingFlag kDirFlagSettings[] = {
    {DIR_KEEP_TIMESTAMP, &ConversionSettings::keepTimeStamps},
    {DIR_KEEP_TRANSPARENT, &ConversionSettings::keepTransparent},
};

// A folder's key for its UTF-8 bytes, beside the key of its code-page text.
constexpr const char* kUtf8KeySuffix = "Utf8";

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Reads folder key: the UTF-8 key when it holds a well-formed escaped path,
// else the code-page key (as an older program wrote it) converted.
void getFolder(const SettingsFile& file, const char* key, TextString& out)
{
    out.reserve(kFolderReserve);
    const char* escaped = file.findValue((std::string(key) + kUtf8KeySuffix).c_str());
    if (escaped) {
        std::string path;
        bool valid = true;
        for (const char* p = escaped; *p != 0; ++p) {
            if (*p != '%') {
                path += *p;
                continue;
            }
            const int high = hexValue(p[1]);
            const int low = high < 0 ? -1 : hexValue(p[2]);
            valid = low >= 0 && (high | low) != 0;
            if (!valid)
                break;
            path += static_cast<char>(high * 16 + low);
            p += 2;
        }
        std::u16string units;
        if (valid && utf16FromUtf8(path.c_str(), units)) {
            out.assign(path.c_str());
            return;
        }
    }
    std::string path;
    const char* text = file.findValue(key);
    out.assign(text && pathFromSystemText(text, path) ? path.c_str() : "");
}

// Writes folder key as code-page text and, when that text does not give the
// folder back exactly, its UTF-8 bytes escaped too ('%' and every byte outside
// '!' to '~' as "%XX"), so the file stays readable by every program version.
bool writeFolder(FileHandle& file, const char* key, const char* folder)
{
    const std::string shown = displayPath(folder);
    std::string back;
    if (!file.writeKeyText(key, shown.c_str()))
        return false;
    if (pathFromSystemText(shown.c_str(), back) && back == folder)
        return true;
    std::string escaped;
    for (const char* p = folder; *p != 0; ++p) {
        const auto byte = static_cast<unsigned char>(*p);
        if (byte > 0x20 && byte < 0x7F && byte != '%') {
            escaped += *p;
        } else {
            static const char kHex[] = "0123456789ABCDEF";
            escaped += '%';
            escaped += kHex[byte >> 4];
            escaped += kHex[byte & 15];
        }
    }
    return file.writeKeyText((std::string(key) + kUtf8KeySuffix).c_str(), escaped.c_str());
}

}  // namespace

int32_t extendedLevelOfOptFlag(uint16_t optFlag)
{
    if (!(optFlag & OPT_EXTENDED_SEARCH))
        return 0;
    const int32_t field = (optFlag & OPT_EXTENDED_LEVEL_MASK) >> kOptExtendedLevelShift;
    return field == 0 ? kDefaultExtendedLevel : field;
}

uint16_t optFlagWithExtendedLevel(uint16_t optFlag, int32_t level)
{
    uint16_t flag = static_cast<uint16_t>(optFlag & ~(OPT_EXTENDED_SEARCH | OPT_EXTENDED_LEVEL_MASK));
    if (level < kMinExtendedLevel || level > kMaxExtendedLevel)
        return flag;
    flag |= OPT_EXTENDED_SEARCH;
    if (level != kDefaultExtendedLevel)
        flag |= static_cast<uint16_t>(level << kOptExtendedLevelShift);
    return flag;
}

namespace {

// The words of a -kc list, as written.
std::vector<std::string> chunkListWords(const char* list)
{
    std::vector<std::string> words;
    std::string word;
    for (const char* p = list ? list : "";; ++p) {
        if (*p != 0 && *p != ',' && *p != ' ') {
            word += *p;
            continue;
        }
        if (!word.empty())
            words.push_back(word);
        word.clear();
        if (*p == 0)
            return words;
    }
}

// A group word matches in any case, a chunk name exactly.
bool sameChunkWord(const std::string& a, const std::string& b)
{
    ChunkSelection one;
    ChunkSelection other;
    std::string bad;
    return a == b || (parseChunkSelection(a.c_str(), one, bad) && parseChunkSelection(b.c_str(), other, bad) &&
                      one.names.empty() && other.names.empty() && one.groups == other.groups);
}

}  // namespace

std::string chunkListWith(const char* list, const char* word, bool on)
{
    std::string joined;
    bool present = false;
    for (const std::string& existing : chunkListWords(list)) {
        const bool same = sameChunkWord(existing, word);
        present = present || same;
        if (same && !on)
            continue;
        joined += (joined.empty() ? "" : ",") + existing;
    }
    if (on && !present)
        joined += (joined.empty() ? "" : ",") + std::string(word);
    return joined;
}

bool chunkListHas(const char* list, const char* word)
{
    for (const std::string& existing : chunkListWords(list))
        if (sameChunkWord(existing, word))
            return true;
    return false;
}

ConversionSettings conversionSettingsOf(uint16_t optFlag, uint16_t dirFlag, const char* keepChunks)
{
    ConversionSettings settings = settingsOfFlags(dirFlag, kDirFlagSettings);
    settings.options = static_cast<uint16_t>(optFlag & kConvertOptionBits);
    settings.extendedLevel = extendedLevelOfOptFlag(optFlag);
    settings.animateGif = (optFlag & OPT_ANIMATE_GIF) != 0;
    std::string badWord;
    if (keepChunks && *keepChunks && !parseChunkSelection(keepChunks, settings.keepChunks, badWord))
        settings.keepChunks = ChunkSelection();
    return settings;
}

void settingsPath(TextString& out)
{
    if (!out.setToModuleFolder(kSettingsFileName))
        out.clear();
}

WindowPosition loadSettingsFrom(const char* path, AppSettings& settings)
{
    SettingsFile file;
    file.load(path);   // a missing or unreadable file leaves no lines: all defaults
    file.selectSection(kSettingsSection);

    WindowPosition position;
    position.x = file.getInt("WinX", kNoWindowPosition);
    position.y = file.getInt("WinY", kNoWindowPosition);
    settings.OptFlag = static_cast<uint16_t>(file.getInt("OptFlag", kDefaultOptFlag));
    settings.DirFlag = static_cast<uint16_t>(file.getInt("DirFlag", kDefaultDirFlag));
    getFolder(file, "OpenDir", settings.OpenDir);
    getFolder(file, "SaveDir", settings.SaveDir);
    file.getString("KeepChunks", settings.KeepChunks, "");
    return position;
}

bool saveSettingsTo(const char* path, const AppSettings& settings, WindowPosition position)
{
    if (!path || !path[0])
        return false;
    return writeReplacing(path, [&](FileHandle& file) {
        return file.writeText("[Tolvarinx3]\r\n") && file.writeKeyInt("WinX", position.x) &&
               file.writeKeyInt("WinY", position.y) && file.writeKeyInt("OptFlag", settings.OptFlag) &&
               file.writeKeyInt("DirFlag", settings.DirFlag) &&
               writeFolder(file, "OpenDir", settings.OpenDir.c_str()) &&
               writeFolder(file, "SaveDir", settings.SaveDir.c_str()) &&
               (settings.KeepChunks.isEmpty() || file.writeKeyText("KeepChunks", settings.KeepChunks.c_str()));
    });
}

WindowPosition loadSettings()
{
    TextString path;
    settingsPath(path);
    return loadSettingsFrom(path.c_str(), appSettings);
}
