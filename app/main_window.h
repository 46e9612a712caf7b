#pragma once
// MainWindow: the desktop program's one window, a modeless dialog (template
// 101, menu 102). It holds the current image, shows its preview and facts,
// lets the user pick a transparent colour, and starts conversions in the
// output dialog. A static object of the program; window thread only.

#include <cstdint>

#include "app/closable_run.h"
#include "app/colour_picker_window.h"
#include "app/logic/image_facts.h"
#include "app/preview_pane.h"
#include "core/animation_probe.h"
#include "core/byte_buffer.h"
#include "core/dib_image.h"
#include "core/text_string.h"
#include "framework/controls.h"
#include "framework/dialog_base.h"

class MainWindow : public DialogBase {
public:
    ColourButton colourButton;         // control 1054, the transparent colour swatch
    ListViewControl infoList;          // control 1101, the seven rows of facts
    PreviewPane previewPane;           // control 1001
    ColourPickerWindow colourPicker;   // open only while picking
    DibImage image;                    // the current image; empty until a load succeeds
    int32_t transparentColour = -1;    // the colour the reader reported, or -1
    AppendBuffer colourChunks;         // a PNG's colour chunks, kept by the extended search
    ByteBuffer wideSamples;            // a 16-bit PNG's samples beyond 8 bits, read by the extended search
    int32_t inputSize = kNoInputSize;  // bytes of the input file; -1 for clipboard input
    TextString path;                   // the input file as opened; empty for clipboard input
    // What the opened file holds: an animation is converted from the file,
    // every frame (a GIF's only with the menu item), the preview showing its
    // default image or first frame.
    Animation animation = Animation::None;

    // Creates the (hidden) window with its icons and controls. False when the
    // dialog cannot be created.
    bool create();

    // With a path (command line, drop): loads it, quotes stripped. Without:
    // asks with the open-file dialog first. Shows its own failure message.
    void openImage(const char* givenPath);

    // While a conversion dialog runs, stops it and closes once it has
    // ended; otherwise saves the settings and destroys the window.
    int onClose() override;
    int onDestroy() override;
    int onInitMenuPopup(HMENU menu, unsigned position, unsigned isWindowMenu) override;
    int onDropFiles(HDROP drop) override;
    int onCommand(unsigned id, unsigned code, HWND control) override;
    int onDrawItem(DRAWITEMSTRUCT* item) override;

private:
    void initControls();
    void pasteClipboard(bool withAlpha);
    void refreshView();
    void showImageInfo();
    void showFactRows(int first, int last);
    void saveImage(bool saveAs);
    void convertImage(const char* outputPath);
    void pickTransparentColour();
    void showAbout();
    // Carries out a close request that waited for a conversion dialog's end.
    // True when the window has been closed.
    bool closeIfRequested();

    ImageFacts facts;   // what the info list shows
    // The conversion dialog whose modal loop runs, or null.
    ClosableRun* activeRun_ = nullptr;
    // A close request arrived while activeRun_ ran.
    bool closeRequested_ = false;
};

// Writes the settings file from appSettings and the window's restored position.
void saveSettings(const WindowBase& mainWindow);
