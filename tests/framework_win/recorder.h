#pragma once
// A window object that records every handler call with the arguments the
// dispatcher unpacked, for any of the framework's base classes.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <vector>

#include "framework/logic/message_routing.h"

struct HandlerCall {
    MessageHandler handler;
    std::vector<uint64_t> args;
};

template <class T>
uint64_t arg(T value)
{
    return (uint64_t)(uintptr_t)(value);
}

template <class Base>
class Recorder : public Base {
public:
    std::vector<HandlerCall> calls;
    // What the handlers report: handled (1) or not (0).
    int handled = 0;
    // Stored into the message result by handlers that receive it, when handled.
    LRESULT resultToSet = 0x5A;
    // Sees each call as it is recorded, while pointer arguments still point
    // at what the platform passed.
    std::function<void(const HandlerCall&)> onRecord;

    void clear() { calls.clear(); }

    int onInitDialog(LRESULT& r) override { return recordResult(MessageHandler::InitDialog, {}, r); }
    int onNcCreate(CREATESTRUCTA* c) override { return record(MessageHandler::NcCreate, {arg(c)}); }
    int onCreate(CREATESTRUCTA* c) override { return record(MessageHandler::Create, {arg(c)}); }
    int onClose() override { return record(MessageHandler::Close, {}); }
    int onNcDestroy() override { return record(MessageHandler::NcDestroy, {}); }
    int onDestroy() override { return record(MessageHandler::Destroy, {}); }
    int onEndSession(WPARAM w) override { return record(MessageHandler::EndSession, {arg(w)}); }
    int onInitMenu(HMENU m) override { return record(MessageHandler::InitMenu, {arg(m)}); }
    int onInitMenuPopup(HMENU m, unsigned p, unsigned s) override
    {
        return record(MessageHandler::InitMenuPopup, {arg(m), p, s});
    }
    int onMenuSelect(unsigned i, unsigned f, HMENU m) override
    {
        return record(MessageHandler::MenuSelect, {i, f, arg(m)});
    }
    int onContextMenu(HWND w, unsigned x, unsigned y) override
    {
        return record(MessageHandler::ContextMenu, {arg(w), x, y});
    }
    int onSysChar(WPARAM w, LPARAM l) override { return record(MessageHandler::SysChar, {arg(w), arg(l)}); }
    int onSysKeyUp(WPARAM w, LPARAM l) override { return record(MessageHandler::SysKeyUp, {arg(w), arg(l)}); }
    int onSysKeyDown(WPARAM w, LPARAM l) override { return record(MessageHandler::SysKeyDown, {arg(w), arg(l)}); }
    int onSysCommand(WPARAM c, unsigned x, unsigned y) override
    {
        return record(MessageHandler::SysCommand, {arg(c), x, y});
    }
    int onWindowPosChanging(WINDOWPOS* p) override { return record(MessageHandler::WindowPosChanging, {arg(p)}); }
    int onWindowPosChanged(WINDOWPOS* p) override { return record(MessageHandler::WindowPosChanged, {arg(p)}); }
    int onDropFiles(HDROP d) override { return record(MessageHandler::DropFiles, {arg(d)}); }
    int onTimer(WPARAM id) override { return record(MessageHandler::Timer, {arg(id)}); }
    int onCommand(unsigned id, unsigned code, HWND c) override
    {
        return record(MessageHandler::Command, {id, code, arg(c)});
    }
    int onNcActivate(WPARAM w, LPARAM l) override { return record(MessageHandler::NcActivate, {arg(w), arg(l)}); }
    int onActivate(unsigned s, HWND o, unsigned m) override { return record(MessageHandler::Activate, {s, arg(o), m}); }
    int onActivateApp(WPARAM w, LPARAM l) override { return record(MessageHandler::ActivateApp, {arg(w), arg(l)}); }
    int onChildActivate() override { return record(MessageHandler::ChildActivate, {}); }
    int onEnterIdle(WPARAM w, LPARAM l) override { return record(MessageHandler::EnterIdle, {arg(w), arg(l)}); }
    int onKillFocus(HWND w) override { return record(MessageHandler::KillFocus, {arg(w)}); }
    int onSetFocus(HWND w) override { return record(MessageHandler::SetFocus, {arg(w)}); }
    int onShowWindow(WPARAM w, LPARAM l) override { return record(MessageHandler::ShowWindow, {arg(w), arg(l)}); }
    int onMouseActivate(HWND t, unsigned h, unsigned m, LRESULT& r) override
    {
        return recordResult(MessageHandler::MouseActivate, {arg(t), h, m}, r);
    }
    int onNcMouseMove(WPARAM h, unsigned x, unsigned y) override { return record(MessageHandler::NcMouseMove, {arg(h), x, y}); }
    int onNcMButtonDblClk(WPARAM h, unsigned x, unsigned y) override { return record(MessageHandler::NcMButtonDblClk, {arg(h), x, y}); }
    int onNcMButtonUp(WPARAM h, unsigned x, unsigned y) override { return record(MessageHandler::NcMButtonUp, {arg(h), x, y}); }
    int onNcMButtonDown(WPARAM h, unsigned x, unsigned y) override { return record(MessageHandler::NcMButtonDown, {arg(h), x, y}); }
    int onNcLButtonDblClk(WPARAM h, unsigned x, unsigned y) override { return record(MessageHandler::NcLButtonDblClk, {arg(h), x, y}); }
    int onNcLButtonUp(WPARAM h, unsigned x, unsigned y) override { return record(MessageHandler::NcLButtonUp, {arg(h), x, y}); }
    int onNcLButtonDown(WPARAM h, unsigned x, unsigned y) override { return record(MessageHandler::NcLButtonDown, {arg(h), x, y}); }
    int onNcRButtonDblClk(WPARAM h, unsigned x, unsigned y) override { return record(MessageHandler::NcRButtonDblClk, {arg(h), x, y}); }
    int onNcRButtonUp(WPARAM h, unsigned x, unsigned y) override { return record(MessageHandler::NcRButtonUp, {arg(h), x, y}); }
    int onNcRButtonDown(WPARAM h, unsigned x, unsigned y) override { return record(MessageHandler::NcRButtonDown, {arg(h), x, y}); }
    int onMouseMove(WPARAM k, unsigned x, unsigned y) override { return record(MessageHandler::MouseMove, {arg(k), x, y}); }
    int onMButtonDblClk(WPARAM k, unsigned x, unsigned y) override { return record(MessageHandler::MButtonDblClk, {arg(k), x, y}); }
    int onMButtonUp(WPARAM k, unsigned x, unsigned y) override { return record(MessageHandler::MButtonUp, {arg(k), x, y}); }
    int onMButtonDown(WPARAM k, unsigned x, unsigned y) override { return record(MessageHandler::MButtonDown, {arg(k), x, y}); }
    int onLButtonDblClk(WPARAM k, unsigned x, unsigned y) override { return record(MessageHandler::LButtonDblClk, {arg(k), x, y}); }
    int onLButtonUp(WPARAM k, unsigned x, unsigned y) override { return record(MessageHandler::LButtonUp, {arg(k), x, y}); }
    int onLButtonDown(WPARAM k, unsigned x, unsigned y) override { return record(MessageHandler::LButtonDown, {arg(k), x, y}); }
    int onRButtonDblClk(WPARAM k, unsigned x, unsigned y) override { return record(MessageHandler::RButtonDblClk, {arg(k), x, y}); }
    int onRButtonUp(WPARAM k, unsigned x, unsigned y) override { return record(MessageHandler::RButtonUp, {arg(k), x, y}); }
    int onRButtonDown(WPARAM k, unsigned x, unsigned y) override { return record(MessageHandler::RButtonDown, {arg(k), x, y}); }
    int onSetCursor(HWND w, unsigned h, unsigned m) override { return record(MessageHandler::SetCursor, {arg(w), h, m}); }
    int onMouseWheel(unsigned k, unsigned d, unsigned x, unsigned y) override
    {
        return record(MessageHandler::MouseWheel, {k, d, x, y});
    }
    int onCaptureChanged(HWND w) override { return record(MessageHandler::CaptureChanged, {arg(w)}); }
    int onMouseLeave() override { return record(MessageHandler::MouseLeave, {}); }
    int onMouseHover() override { return record(MessageHandler::MouseHover, {}); }
    int onNcHitTest(unsigned x, unsigned y, LRESULT& r) override
    {
        return recordResult(MessageHandler::NcHitTest, {x, y}, r);
    }
    int onKeyUp(WPARAM w, LPARAM l) override { return record(MessageHandler::KeyUp, {arg(w), arg(l)}); }
    int onKeyDown(WPARAM w, LPARAM l) override { return record(MessageHandler::KeyDown, {arg(w), arg(l)}); }
    int onChar(WPARAM w, LPARAM l) override { return record(MessageHandler::Char, {arg(w), arg(l)}); }
    int onHotKey(WPARAM id, unsigned m, unsigned k) override { return record(MessageHandler::HotKey, {arg(id), m, k}); }
    int onNcPaint() override { return record(MessageHandler::NcPaint, {}); }
    int onPaint() override { return record(MessageHandler::Paint, {}); }
    int onEraseBkgnd(HDC dc, LRESULT& r) override { return recordResult(MessageHandler::EraseBkgnd, {arg(dc)}, r); }
    int onMeasureItem(MEASUREITEMSTRUCT* i) override { return record(MessageHandler::MeasureItem, {arg(i)}); }
    int onDrawItem(DRAWITEMSTRUCT* i) override { return record(MessageHandler::DrawItem, {arg(i)}); }
    int onVScroll(unsigned r, unsigned t, HWND b) override { return record(MessageHandler::VScroll, {r, t, arg(b)}); }
    int onHScroll(unsigned r, unsigned t, HWND b) override { return record(MessageHandler::HScroll, {r, t, arg(b)}); }
    int onSize(WPARAM t, unsigned w, unsigned h) override { return record(MessageHandler::Size, {arg(t), w, h}); }
    int onSizing(WPARAM e, RECT* r) override { return record(MessageHandler::Sizing, {arg(e), arg(r)}); }
    int onMove(unsigned x, unsigned y) override { return record(MessageHandler::Move, {x, y}); }
    int onMoving(WPARAM w, RECT* r) override { return record(MessageHandler::Moving, {arg(w), arg(r)}); }
    int onNotify(WPARAM id, NMHDR* h, LRESULT& r) override { return recordResult(MessageHandler::Notify, {arg(id), arg(h)}, r); }
    int onParentNotify(unsigned e, unsigned id, LPARAM l) override
    {
        return record(MessageHandler::ParentNotify, {e, id, arg(l)});
    }
    int onUserMessage(UINT m, WPARAM w, LPARAM l) override { return record(MessageHandler::UserMessage, {m, arg(w), arg(l)}); }
    int onGetDlgCode(MSG* m, LRESULT& r) override { return recordResult(MessageHandler::GetDlgCode, {arg(m)}, r); }

    // The handlers called for message so far.
    int countOf(MessageHandler handler) const
    {
        int n = 0;
        for (const HandlerCall& call : calls)
            n += call.handler == handler;
        return n;
    }

private:
    int record(MessageHandler handler, std::initializer_list<uint64_t> args)
    {
        calls.push_back(HandlerCall{handler, args});
        if (onRecord)
            onRecord(HandlerCall(calls.back()));   // a copy: the hook may add calls
        return handled;
    }
    int recordResult(MessageHandler handler, std::initializer_list<uint64_t> args, LRESULT& result)
    {
        if (handled)
            result = resultToSet;
        return record(handler, args);
    }
};
