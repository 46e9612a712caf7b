#include "app/logic/app_settings.h"

#include "app/logic/settings_file.h"
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

ConversionSettings conversionSettingsOf(uint16_t optFlag, uint16_t dirFlag)
{
    ConversionSettings settings = settingsOfFlags(dirFlag, kDirFlagSettings);
    settings.options = static_cast<uint16_t>(optFlag & kConvertOptionBits);
    settings.extendedLevel = extendedLevelOfOptFlag(optFlag);
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
    settings.OpenDir.reserve(kFolderReserve);
    file.getString("OpenDir", settings.OpenDir, "");
    settings.SaveDir.reserve(kFolderReserve);
    file.getString("SaveDir", settings.SaveDir, "");
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
               file.writeKeyText("OpenDir", settings.OpenDir.c_str()) &&
               file.writeKeyText("SaveDir", settings.SaveDir.c_str());
    });
}

WindowPosition loadSettings()
{
    TextString path;
    settingsPath(path);
    return loadSettingsFrom(path.c_str(), appSettings);
}
