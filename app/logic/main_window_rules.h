#pragma once
// The main window's decisions that do not depend on the platform: where a save
// goes, the state of the "透過色" check box and the swatch after a load, the
// colour a conversion uses, the option commands of the menu and the extended
// search's submenu, and the pixel under a click in the magnified colour picker.
//
// Pure functions; window thread.

#include <cstdint>

class DibImage;
class TextString;

// What a save command does.
enum class SaveAction {
    Nothing,          // no image loaded
    OverwriteInput,   // write over the input path itself, without asking
    AskForName,       // show the save dialog with the suggested name
};

// saveAs false is "上書き保存": a PNG input (extension "png" in any case) is
// overwritten directly; any other input, and clipboard input (empty path),
// asks for a name like "別名で保存". suggestedName receives the input's base
// name (empty for clipboard input) when the answer is AskForName.
SaveAction decideSave(bool imageLoaded, bool saveAs, const TextString& path, TextString& suggestedName);

// The check box and swatch after a successful load.
struct TransparencyControls {
    bool checkEnabled = true;   // the box can be used (images without alpha)
    bool checked = false;       // ticked when the source named a transparent colour
    uint32_t swatchRgb = 0;     // 0x00RRGGBB: that colour, else the top-left pixel
};
TransparencyControls transparencyAfterLoad(const DibImage& image, int32_t transparentColour);

// The transparent colour of a conversion run: the swatch when the box is
// ticked, else -1 (none).
int32_t transparentColourForRun(bool boxChecked, uint32_t swatchRgb);

// Menu commands that toggle an OptFlag bit.
constexpr int ID_MENU_NO_FILTER_COMPARE = 40003;
constexpr int ID_MENU_NO_DEFLATE_COMPARE = 40004;
constexpr int ID_MENU_NO_8BIT_COMPARE = 40006;
constexpr int ID_MENU_CLOSE_OUTPUT_DIALOG = 40007;
// The OptFlag bit a menu command toggles, 0 for any other command.
uint16_t optionBitOfCommand(int commandId);
// Number of option commands, and the command at index i (menu order).
constexpr int kOptionCommandCount = 6;
int optionCommandAt(int i);

// The radio items of the submenu "拡張探索(&X)", in menu order: off, then
// level n (1 to 3) at ID_MENU_EXTENDED_OFF + n.
constexpr int ID_MENU_EXTENDED_OFF = 40010;
constexpr int ID_MENU_EXTENDED_LAST = 40013;
constexpr int ID_MENU_ANIMATE_GIF = 40014;
constexpr int ID_MENU_CLEAN_ALPHA = 40015;
// The check items of the submenu "ﾁｬﾝｸを保持(&K)": the group words of -kc
// (core/kept_chunks.h) from ID_MENU_KEEP_FIRST on, in menu order.
constexpr int ID_MENU_KEEP_FIRST = 40020;
constexpr int kKeepChunkCommandCount = 7;
// The group word a submenu command toggles, null for any other command.
const char* keepChunkWordOfCommand(int commandId);
// The level a submenu command chooses (0: off), -1 for any other command.
int32_t extendedLevelOfCommand(int commandId);
// The submenu command that OptFlag's level checks.
int extendedCommandOf(uint16_t optFlag);

// The colour picker shows the image at 400 percent.
constexpr int32_t kPickerZoom = 4;
// The image pixel under client point (mx, my) with the view scrolled to image
// column scrollX and row scrollY. False when the point lies beyond the image.
bool pickerPixelAt(int32_t scrollX, int32_t scrollY, int32_t mx, int32_t my, int32_t imageWidth,
                   int32_t imageHeight, int32_t& ix, int32_t& iy);
