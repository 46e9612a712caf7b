#pragma once
// Which handler of the window classes a window message goes to.
//
// The dispatcher of the window classes asks routeMessage for the handler of a
// message number and then unpacks wParam/lParam for that handler. Message
// numbers are the platform's (WM_CREATE = 0x0001 and so on); this file keeps
// them as plain numbers so that the table can be checked on any platform.

#include <cstdint>

// One value per message handler, in the declaration order of the handlers.
enum class MessageHandler : uint8_t {
    None,  // not routed: the message is finished as not handled
    InitDialog,
    NcCreate,
    Create,
    Close,
    NcDestroy,
    Destroy,
    EndSession,
    InitMenu,
    InitMenuPopup,
    MenuSelect,
    ContextMenu,
    SysChar,
    SysKeyUp,
    SysKeyDown,
    SysCommand,
    WindowPosChanging,
    WindowPosChanged,
    DropFiles,
    Timer,
    Command,
    NcActivate,
    Activate,
    ActivateApp,
    ChildActivate,
    EnterIdle,
    KillFocus,
    SetFocus,
    ShowWindow,
    MouseActivate,
    NcMouseMove,
    NcMButtonDblClk,
    NcMButtonUp,
    NcMButtonDown,
    NcLButtonDblClk,
    NcLButtonUp,
    NcLButtonDown,
    NcRButtonDblClk,
    NcRButtonUp,
    NcRButtonDown,
    MouseMove,
    MButtonDblClk,
    MButtonUp,
    MButtonDown,
    LButtonDblClk,
    LButtonUp,
    LButtonDown,
    RButtonDblClk,
    RButtonUp,
    RButtonDown,
    SetCursor,
    MouseWheel,
    CaptureChanged,
    MouseLeave,
    MouseHover,
    NcHitTest,
    KeyUp,
    KeyDown,
    Char,
    HotKey,
    NcPaint,
    Paint,
    EraseBkgnd,
    MeasureItem,
    DrawItem,
    VScroll,
    HScroll,
    Size,
    Sizing,
    Move,
    Moving,
    Notify,
    ParentNotify,
    UserMessage,
    GetDlgCode,
};

// First private message number routed to the user-message handler, and the last.
constexpr uint32_t kFirstUserMessage = 0x0400;
constexpr uint32_t kLastUserMessage = 0x7FFF;

// The handler for a message number. Numbers 0x0400..0x7FFF go to
// MessageHandler::UserMessage; WM_NULL, WM_APP (0x8000) and above, registered
// messages and every number without a handler give MessageHandler::None.
MessageHandler routeMessage(uint32_t message);

// The unsigned 16-bit halves of a message parameter, zero-extended: a
// coordinate of -1 packed into lParam comes out as 65535.
template <class Param>
constexpr unsigned lowHalf(Param value)
{
    return static_cast<unsigned>(static_cast<uint64_t>(value) & 0xFFFFu);
}

template <class Param>
constexpr unsigned highHalf(Param value)
{
    return static_cast<unsigned>((static_cast<uint64_t>(value) >> 16) & 0xFFFFu);
}
