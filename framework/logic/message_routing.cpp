#include "framework/logic/message_routing.h"

#include <algorithm>
#include <iterator>

namespace {

struct Route {
    uint32_t message;
    MessageHandler handler;
};

// Sorted by message number for the binary search below.
constexpr Route kRoutes[] = {
    {0x0001, MessageHandler::Create},             // WM_CREATE
    {0x0002, MessageHandler::Destroy},            // WM_DESTROY
    {0x0003, MessageHandler::Move},               // WM_MOVE
    {0x0005, MessageHandler::Size},               // WM_SIZE
    {0x0006, MessageHandler::Activate},           // WM_ACTIVATE
    {0x0007, MessageHandler::SetFocus},           // WM_SETFOCUS
    {0x0008, MessageHandler::KillFocus},          // WM_KILLFOCUS
    {0x000F, MessageHandler::Paint},              // WM_PAINT
    {0x0010, MessageHandler::Close},              // WM_CLOSE
    {0x0014, MessageHandler::EraseBkgnd},         // WM_ERASEBKGND
    {0x0016, MessageHandler::EndSession},         // WM_ENDSESSION
    {0x0018, MessageHandler::ShowWindow},         // WM_SHOWWINDOW
    {0x001C, MessageHandler::ActivateApp},        // WM_ACTIVATEAPP
    {0x0020, MessageHandler::SetCursor},          // WM_SETCURSOR
    {0x0021, MessageHandler::MouseActivate},      // WM_MOUSEACTIVATE
    {0x0022, MessageHandler::ChildActivate},      // WM_CHILDACTIVATE
    {0x002B, MessageHandler::DrawItem},           // WM_DRAWITEM
    {0x002C, MessageHandler::MeasureItem},        // WM_MEASUREITEM
    {0x0046, MessageHandler::WindowPosChanging},  // WM_WINDOWPOSCHANGING
    {0x0047, MessageHandler::WindowPosChanged},   // WM_WINDOWPOSCHANGED
    {0x004E, MessageHandler::Notify},             // WM_NOTIFY
    {0x007B, MessageHandler::ContextMenu},        // WM_CONTEXTMENU
    {0x0081, MessageHandler::NcCreate},           // WM_NCCREATE
    {0x0082, MessageHandler::NcDestroy},          // WM_NCDESTROY
    {0x0084, MessageHandler::NcHitTest},          // WM_NCHITTEST
    {0x0085, MessageHandler::NcPaint},            // WM_NCPAINT
    {0x0086, MessageHandler::NcActivate},         // WM_NCACTIVATE
    {0x0087, MessageHandler::GetDlgCode},         // WM_GETDLGCODE
    {0x00A0, MessageHandler::NcMouseMove},        // WM_NCMOUSEMOVE
    {0x00A1, MessageHandler::NcLButtonDown},      // WM_NCLBUTTONDOWN
    {0x00A2, MessageHandler::NcLButtonUp},        // WM_NCLBUTTONUP
    {0x00A3, MessageHandler::NcLButtonDblClk},    // WM_NCLBUTTONDBLCLK
    {0x00A4, MessageHandler::NcRButtonDown},      // WM_NCRBUTTONDOWN
    {0x00A5, MessageHandler::NcRButtonUp},        // WM_NCRBUTTONUP
    {0x00A6, MessageHandler::NcRButtonDblClk},    // WM_NCRBUTTONDBLCLK
    {0x00A7, MessageHandler::NcMButtonDown},      // WM_NCMBUTTONDOWN
    {0x00A8, MessageHandler::NcMButtonUp},        // WM_NCMBUTTONUP
    {0x00A9, MessageHandler::NcMButtonDblClk},    // WM_NCMBUTTONDBLCLK
    {0x0100, MessageHandler::KeyDown},            // WM_KEYDOWN
    {0x0101, MessageHandler::KeyUp},              // WM_KEYUP
    {0x0102, MessageHandler::Char},               // WM_CHAR
    {0x0104, MessageHandler::SysKeyDown},         // WM_SYSKEYDOWN
    {0x0105, MessageHandler::SysKeyUp},           // WM_SYSKEYUP
    {0x0106, MessageHandler::SysChar},            // WM_SYSCHAR
    {0x0110, MessageHandler::InitDialog},         // WM_INITDIALOG
    {0x0111, MessageHandler::Command},            // WM_COMMAND
    {0x0112, MessageHandler::SysCommand},         // WM_SYSCOMMAND
    {0x0113, MessageHandler::Timer},              // WM_TIMER
    {0x0114, MessageHandler::HScroll},            // WM_HSCROLL
    {0x0115, MessageHandler::VScroll},            // WM_VSCROLL
    {0x0116, MessageHandler::InitMenu},           // WM_INITMENU
    {0x0117, MessageHandler::InitMenuPopup},      // WM_INITMENUPOPUP
    {0x011F, MessageHandler::MenuSelect},         // WM_MENUSELECT
    {0x0121, MessageHandler::EnterIdle},          // WM_ENTERIDLE
    {0x0200, MessageHandler::MouseMove},          // WM_MOUSEMOVE
    {0x0201, MessageHandler::LButtonDown},        // WM_LBUTTONDOWN
    {0x0202, MessageHandler::LButtonUp},          // WM_LBUTTONUP
    {0x0203, MessageHandler::LButtonDblClk},      // WM_LBUTTONDBLCLK
    {0x0204, MessageHandler::RButtonDown},        // WM_RBUTTONDOWN
    {0x0205, MessageHandler::RButtonUp},          // WM_RBUTTONUP
    {0x0206, MessageHandler::RButtonDblClk},      // WM_RBUTTONDBLCLK
    {0x0207, MessageHandler::MButtonDown},        // WM_MBUTTONDOWN
    {0x0208, MessageHandler::MButtonUp},          // WM_MBUTTONUP
    {0x0209, MessageHandler::MButtonDblClk},      // WM_MBUTTONDBLCLK
    {0x020A, MessageHandler::MouseWheel},         // WM_MOUSEWHEEL
    {0x0210, MessageHandler::ParentNotify},       // WM_PARENTNOTIFY
    {0x0214, MessageHandler::Sizing},             // WM_SIZING
    {0x0215, MessageHandler::CaptureChanged},     // WM_CAPTURECHANGED
    {0x0216, MessageHandler::Moving},             // WM_MOVING
    {0x0233, MessageHandler::DropFiles},          // WM_DROPFILES
    {0x02A1, MessageHandler::MouseHover},         // WM_MOUSEHOVER
    {0x02A3, MessageHandler::MouseLeave},         // WM_MOUSELEAVE
    {0x0312, MessageHandler::HotKey},             // WM_HOTKEY
};

constexpr bool routesAreSorted()
{
    for (size_t i = 1; i < std::size(kRoutes); ++i) {
        if (kRoutes[i - 1].message >= kRoutes[i].message)
            return false;
    }
    return true;
}
static_assert(routesAreSorted(), "the route table must be sorted by message number");

}  // namespace

MessageHandler routeMessage(uint32_t message)
{
    if (message >= kFirstUserMessage && message <= kLastUserMessage)
        return MessageHandler::UserMessage;
    auto found = std::lower_bound(std::begin(kRoutes), std::end(kRoutes), message,
                                  [](const Route& route, uint32_t m) { return route.message < m; });
    if (found != std::end(kRoutes) && found->message == message)
        return found->handler;
    return MessageHandler::None;
}
