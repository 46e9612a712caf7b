#include "app/main_window.h"

#include <commctrl.h>

#include "app/about_dialog.h"
#include "app/file_drop.h"
#include "app/folder_conversion.h"
#include "app/logic/app_settings.h"
#include "app/logic/clipboard.h"
#include "app/logic/drop_rules.h"
#include "app/logic/main_window_rules.h"
#include "app/logic/output_dialog_rules.h"
#include "app/logic/packed_dib.h"
#include "app/open_file_dialog.h"
#include "app/output_dialog.h"
#include "app/resource.h"
#include "core/animation_probe.h"
#include "core/file_handle.h"
#include "core/ui_text.h"
#include "framework/helpers.h"
#include "framework/shell_dialogs.h"
#include "services/conversion.h"
#include "services/image_conversion.h"

namespace {

constexpr int kPathCapacity = kDroppedPathCapacity;
constexpr int kLabelColumnWidth = 70;
constexpr int kValueColumnWidth = 250;
constexpr int kSettingsMenuPosition = 1;
static_assert(IDM_CLEAN_ALPHA == ID_MENU_CLEAN_ALPHA && IDM_KEEP_TEXT == ID_MENU_KEEP_FIRST &&
                  IDM_KEEP_ALL == ID_MENU_KEEP_FIRST + kKeepChunkCommandCount - 1,
              "the menu's items are the rules' commands");
static_assert(IDM_EXTENDED_OFF == ID_MENU_EXTENDED_OFF && IDM_EXTENDED_LEVEL1 == ID_MENU_EXTENDED_OFF + 1 &&
                  IDM_EXTENDED_LEVEL2 == ID_MENU_EXTENDED_OFF + 2 && IDM_EXTENDED_LEVEL3 == ID_MENU_EXTENDED_LAST,
              "the submenu's items are the rules' commands");

}  // namespace

bool MainWindow::create()
{
    if (!createModeless(IDD_MAIN, nullptr))
        return false;
    setIcon(ICON_BIG, loadIconResource(IDI_PROGRAM, 32));
    setIcon(ICON_SMALL, loadIconResource(IDI_PROGRAM, 16));
    initControls();
    return true;
}

void MainWindow::initControls()
{
    previewPane.attachTo(hwnd, IDC_PREVIEW);
    colourButton.bindDialogItem(hwnd, IDC_SWATCH);
    colourButton.setColour(RGB(255, 255, 255));
    infoList.bindDialogItem(hwnd, IDC_INFO_LIST);
    infoList.setExtendedStyle(false, true, true);
    infoList.insertColumn(0, "", kLabelColumnWidth, LVCFMT_LEFT);
    infoList.insertColumn(1, "", kValueColumnWidth, LVCFMT_LEFT);
    for (const Msg label : kInfoRowLabels)
        infoList.insertItem(-1, uiText(label), -1, 0);
    infoList.widenColumnToFit(0);   // labels longer than the Japanese ones
}

void MainWindow::openImage(const char* givenPath)
{
    TextString chosen(kPathCapacity);
    if (givenPath) {
        chosen.assign(givenPath);
        chosen.stripQuotes();
    } else {
        TextString filter(255);
        filter.loadResource(IDS_OPEN_FILTER);
        filter.replaceChar('\t', '\0');
        PreviewPane dialogPreview;
        if (!chooseOpenFile(hwnd, filter.c_str(), "png", appSettings.OpenDir.c_str(), chosen, dialogPreview))
            return;
        appSettings.OpenDir.assign(chosen.c_str());
        appSettings.OpenDir.truncateToFolder();
    }
    Animation opened = Animation::None;
    if (!readAnimationKind(chosen.c_str(), opened)) {
        warningBox(uiText(Msg::LoadFailed));
        return;
    }
    // With the extended search on, the PNGs only it reads open too; an
    // animated PNG's default image always (its frames are read from the file).
    uint16_t options = conversionSettingsOf(appSettings.OptFlag, 0).options;
    if (opened == Animation::AnimatedPng)
        options |= OPT_EXTENDED_SEARCH;
    if (!loadConversionInput(chosen.c_str(), options, image, transparentColour, colourChunks, &wideSamples)) {
        warningBox(uiText(Msg::LoadFailed));
        image.release();
        return;
    }
    path.assign(chosen.c_str());
    animation = opened;
    inputSize = static_cast<int32_t>(fileSizeByName(path.c_str()));
    refreshView();
    if (animation == Animation::AnimatedGif && !(appSettings.OptFlag & OPT_ANIMATE_GIF))
        warningBox(uiText(Msg::AnimatedGifFirstFrame));
}

void MainWindow::pasteClipboard(bool withAlpha)
{
    const unsigned code = withAlpha ? pasteDib32(image) : pasteBitmap(image);
    if (code != CLIPBOARD_OK) {
        warningBoxById(IDS_CLIPBOARD_BASE + code);
        if (code == CLIPBOARD_LOAD_FAILED)
            image.release();
        return;
    }
    path.clear();
    animation = Animation::None;
    inputSize = kNoInputSize;
    transparentColour = -1;
    colourChunks.release();
    wideSamples.release();
    refreshView();
}

void MainWindow::refreshView()
{
    previewPane.showImage(image);
    showImageInfo();
    const TransparencyControls controls = transparencyAfterLoad(image, transparentColour);
    enableItem(IDC_USE_TRANSPARENT, controls.checkEnabled);
    check(IDC_USE_TRANSPARENT, controls.checked ? BST_CHECKED : BST_UNCHECKED);
    colourButton.setColourRgb(controls.swatchRgb);
}

void MainWindow::showImageInfo()
{
    facts.describeImage(path.c_str(), inputSize, image.width, image.height, image.hasAlpha != 0);
    showFactRows(0, kInfoRowCount - 1);
}

void MainWindow::showFactRows(int first, int last)
{
    for (int row = first; row <= last; ++row)
        infoList.setItemText(row, 1, facts.values[row].c_str());
}

void MainWindow::saveImage(bool saveAs)
{
    TextString target(kPathCapacity);
    switch (decideSave(!image.isEmpty(), saveAs, path, target)) {
    case SaveAction::Nothing:
        return;
    case SaveAction::OverwriteInput:
        convertImage(path.c_str());
        return;
    case SaveAction::AskForName: {
        TextString filter(uiText(Msg::SaveFilter));
        filter.replaceChar('\t', '\0');
        if (!chooseSaveFile(hwnd, filter.c_str(), "png", appSettings.SaveDir.c_str(), true, true, target))
            return;
        appSettings.SaveDir.assign(target.c_str());
        appSettings.SaveDir.truncateToFolder();
        convertImage(target.c_str());
        return;
    }
    }
}

void MainWindow::convertImage(const char* outputPath)
{
    if (image.isEmpty())
        return;
    OutputDialog dialog;
    dialog.image = &image;
    dialog.keptChunks = &colourChunks;
    dialog.inputPath = path.isEmpty() ? nullptr : path.c_str();
    dialog.wideSamples = &wideSamples;
    dialog.transparentColour =
        transparentColourForRun(isChecked(IDC_USE_TRANSPARENT) == BST_CHECKED, colourButton.colourRgb());
    dialog.outputPath = outputPath;
    const bool whole = animation == Animation::AnimatedPng ||
                       (animation == Animation::AnimatedGif && (appSettings.OptFlag & OPT_ANIMATE_GIF));
    dialog.animationPath = whole ? path.c_str() : nullptr;
    INT_PTR outcome;
    {
        const ActiveRunScope scope(&activeRun_, dialog);
        outcome = dialog.showModal(IDD_OUTPUT, hwnd);
    }
    if (closeIfRequested())
        return;
    if (outcome == 1) {
        facts.describeResult(inputSize, dialog.result, dialog.extendedChoice.c_str());
        showFactRows(ROW_OUTPUT_SIZE, ROW_OUTPUT_FORMAT);
    } else if (outcome == -1) {
        warningBox(uiText(Msg::OutputFailed));   // the dialog itself could not be shown
    }
}

void MainWindow::pickTransparentColour()
{
    if (image.isEmpty())
        return;
    if (image.hasAlpha) {
        warningBox(uiText(Msg::AlphaImageNoColour));
        return;
    }
    const RECT swatch = colourButton.windowRect();
    colourPicker.open(hwnd, swatch.right, swatch.bottom, &colourButton, &image);
}

void MainWindow::showAbout()
{
    AboutDialog about;
    about.showModal(IDD_ABOUT, hwnd);
}

bool MainWindow::closeIfRequested()
{
    if (!closeRequested_)
        return false;
    closeRequested_ = false;
    send(WM_CLOSE);
    return true;
}

int MainWindow::onClose()
{
    // The window is disabled under a conversion dialog, but a close request
    // from outside (the taskbar, another program, the session) still comes
    // here. Destroying the window would take the dialog with it while its
    // worker still uses it: stop the run and close when the dialog has ended.
    if (activeRun_) {
        closeRequested_ = true;
        activeRun_->stopAndEnd();
        return 1;
    }
    saveSettings(*this);
    destroy();
    return 1;
}

int MainWindow::onDestroy()
{
    PostQuitMessage(0);
    return 1;
}

int MainWindow::onInitMenuPopup(HMENU menu, unsigned position, unsigned isWindowMenu)
{
    if (isWindowMenu)
        return 0;
    MenuRef popup;
    popup.setHandle(menu);
    if (position == kSettingsMenuPosition) {
        for (int i = 0; i < kOptionCommandCount; ++i) {
            const int id = optionCommandAt(i);
            popup.checkItem(static_cast<UINT>(id), false, (appSettings.OptFlag & optionBitOfCommand(id)) != 0);
        }
    }
    // The submenus, wherever they are opened from (a popup without them is left alone).
    for (int i = 0; i < kKeepChunkCommandCount; ++i) {
        const int id = ID_MENU_KEEP_FIRST + i;
        popup.checkItem(static_cast<UINT>(id), false,
                        chunkListHas(appSettings.KeepChunks.c_str(), keepChunkWordOfCommand(id)));
    }
    popup.checkRadioItem(IDM_EXTENDED_OFF, IDM_EXTENDED_LEVEL3,
                         static_cast<UINT>(extendedCommandOf(appSettings.OptFlag)));
    return 1;
}

int MainWindow::onDropFiles(HDROP drop)
{
    char dropped[kPathCapacity + 1];
    if (!takeDroppedPathOrWarn(drop, dropped, kPathCapacity, uiText(Msg::LoadFailed)))
        return 1;
    openImage(dropped);
    SetForegroundWindow(hwnd);
    return 1;
}

int MainWindow::onCommand(unsigned id, unsigned, HWND)
{
    if (const uint16_t bit = optionBitOfCommand(static_cast<int>(id))) {
        appSettings.OptFlag ^= bit;
        return 1;
    }
    if (const char* word = keepChunkWordOfCommand(static_cast<int>(id))) {
        const char* list = appSettings.KeepChunks.c_str();
        appSettings.KeepChunks.assign(chunkListWith(list, word, !chunkListHas(list, word)).c_str());
        return 1;
    }
    if (const int32_t level = extendedLevelOfCommand(static_cast<int>(id)); level >= 0) {
        appSettings.OptFlag = optFlagWithExtendedLevel(appSettings.OptFlag, level);
        return 1;
    }
    switch (id) {
    case IDCANCEL:
    case IDM_EXIT:
        send(WM_CLOSE);
        return 1;
    case IDC_OPEN_FILE:
        openImage(nullptr);
        return 1;
    case IDC_PASTE_OPAQUE:
        pasteClipboard(false);
        return 1;
    case IDC_PASTE_32BIT:
        pasteClipboard(true);
        return 1;
    case IDC_SWATCH:
        pickTransparentColour();
        return 1;
    case IDC_OVERWRITE:
        saveImage(false);
        return 1;
    case IDC_SAVE_AS:
        saveImage(true);
        return 1;
    case IDC_TEST:
        convertImage(nullptr);
        return 1;
    case IDM_CONVERT_FOLDER:
        convertFolder(hwnd, appSettings, &activeRun_);
        closeIfRequested();
        return 1;
    case IDM_ABOUT:
        showAbout();
        return 1;
    default:
        return 0;
    }
}

int MainWindow::onDrawItem(DRAWITEMSTRUCT* item)
{
    return colourButton.drawSwatch(item);
}

void saveSettings(const WindowBase& mainWindow)
{
    TextString file;
    settingsPath(file);
    WindowPosition position;
    int x = 0;
    int y = 0;
    if (mainWindow.normalPosition(x, y)) {
        position.x = x;
        position.y = y;
    }
    saveSettingsTo(file.c_str(), appSettings, position);
}
