#pragma once
// The About box (template 103): the program's name and version, an "HP"
// button that opens the home page configured for the build (disabled when
// none is), and a close button. Window thread.

#include "framework/dialog_base.h"

class AboutDialog : public DialogBase {
public:
    int onInitDialog(LRESULT& result) override;
    int onCommand(unsigned id, unsigned code, HWND control) override;
};
