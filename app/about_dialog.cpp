#include "app/about_dialog.h"

#include <shellapi.h>

#include "app/resource.h"
#include "app_config.h"

namespace {

bool hasHomePage()
{
    return TOLVARINX_HOME_PAGE[0] != 0;
}

}  // namespace

int AboutDialog::onInitDialog(LRESULT& result)
{
    enableItem(IDC_HOME_PAGE, hasHomePage());
    result = TRUE;
    return 1;
}

int AboutDialog::onCommand(unsigned id, unsigned, HWND)
{
    switch (id) {
    case IDOK:
    case IDCANCEL:
        endDialog(1);
        return 1;
    case IDC_HOME_PAGE:
        if (hasHomePage())
            ShellExecuteA(hwnd, "open", TOLVARINX_HOME_PAGE, nullptr, nullptr, SW_SHOWNORMAL);
        return 1;
    default:
        return 0;
    }
}
