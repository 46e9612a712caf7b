#include "app/logic/main_window_rules.h"

#include "app/logic/app_settings.h"
#include "core/dib_image.h"
#include "core/text_string.h"

SaveAction decideSave(bool imageLoaded, bool saveAs, const TextString& path, TextString& suggestedName)
{
    if (!imageLoaded)
        return SaveAction::Nothing;
    suggestedName.clear();
    if (path.isEmpty())
        return SaveAction::AskForName;
    TextString extension;
    path.getExtension(extension);
    if (!saveAs && extension.compareNoCase("png") == 0)
        return SaveAction::OverwriteInput;
    path.getBaseName(suggestedName);
    return SaveAction::AskForName;
}

TransparencyControls transparencyAfterLoad(const DibImage& image, int32_t transparentColour)
{
    TransparencyControls controls;
    controls.checkEnabled = image.hasAlpha == 0;
    if (transparentColour == -1) {
        controls.checked = false;
        controls.swatchRgb = image.pixelAt(0, 0) & 0x00FFFFFFu;
    } else {
        controls.checked = true;
        controls.swatchRgb = static_cast<uint32_t>(transparentColour) & 0x00FFFFFFu;
    }
    return controls;
}

int32_t transparentColourForRun(bool boxChecked, uint32_t swatchRgb)
{
    return boxChecked ? static_cast<int32_t>(swatchRgb & 0x00FFFFFFu) : -1;
}

namespace {

struct OptionCommand {
    int id;
    uint16_t bit;
};

constexpr OptionCommand kOptionCommands[kOptionCommandCount] = {
    {ID_MENU_NO_FILTER_COMPARE, OPT_NO_FILTER_COMPARE},
    {ID_MENU_NO_DEFLATE_COMPARE, OPT_NO_DEFLATE_COMPARE},
    {ID_MENU_NO_8BIT_COMPARE, OPT_NO_8BIT_COMPARE},
    {ID_MENU_CLOSE_OUTPUT_DIALOG, OPT_CLOSE_OUTPUT_DIALOG},
    {ID_MENU_ANIMATE_GIF, OPT_ANIMATE_GIF},
    {ID_MENU_CLEAN_ALPHA, OPT_CLEAN_ALPHA},
};

const char* const kKeepChunkWords[kKeepChunkCommandCount] = {"text", "colour", "exif", "phys", "time", "safe", "all"};

}  // namespace

uint16_t optionBitOfCommand(int commandId)
{
    for (const OptionCommand& command : kOptionCommands) {
        if (command.id == commandId)
            return command.bit;
    }
    return 0;
}

int optionCommandAt(int i)
{
    return kOptionCommands[i].id;
}

const char* keepChunkWordOfCommand(int commandId)
{
    const int index = commandId - ID_MENU_KEEP_FIRST;
    return index >= 0 && index < kKeepChunkCommandCount ? kKeepChunkWords[index] : nullptr;
}

static_assert(ID_MENU_EXTENDED_LAST - ID_MENU_EXTENDED_OFF == kMaxExtendedLevel, "an item for every level");

int32_t extendedLevelOfCommand(int commandId)
{
    if (commandId < ID_MENU_EXTENDED_OFF || commandId > ID_MENU_EXTENDED_LAST)
        return -1;
    return commandId - ID_MENU_EXTENDED_OFF;
}

int extendedCommandOf(uint16_t optFlag)
{
    return ID_MENU_EXTENDED_OFF + extendedLevelOfOptFlag(optFlag);
}

bool pickerPixelAt(int32_t scrollX, int32_t scrollY, int32_t mx, int32_t my, int32_t imageWidth,
                   int32_t imageHeight, int32_t& ix, int32_t& iy)
{
    if (mx < 0 || my < 0)
        return false;
    const int32_t x = scrollX + mx / kPickerZoom;
    const int32_t y = scrollY + my / kPickerZoom;
    if (x < 0 || y < 0 || x >= imageWidth || y >= imageHeight)
        return false;
    ix = x;
    iy = y;
    return true;
}
