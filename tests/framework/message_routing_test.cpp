#include "framework/logic/message_routing.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>

namespace {

// The platform's message numbers, written out from its documentation so the
// route table is checked against an independent list.
struct Expected {
    uint32_t message;
    MessageHandler handler;
};

const Expected kExpected[] = {
    {0x0110, MessageHandler::InitDialog},        {0x0081, MessageHandler::NcCreate},
    {0x0001, MessageHandler::Create},            {0x0010, MessageHandler::Close},
    {0x0082, MessageHandler::NcDestroy},         {0x0002, MessageHandler::Destroy},
    {0x0016, MessageHandler::EndSession},        {0x0116, MessageHandler::InitMenu},
    {0x0117, MessageHandler::InitMenuPopup},     {0x011F, MessageHandler::MenuSelect},
    {0x007B, MessageHandler::ContextMenu},       {0x0106, MessageHandler::SysChar},
    {0x0105, MessageHandler::SysKeyUp},          {0x0104, MessageHandler::SysKeyDown},
    {0x0112, MessageHandler::SysCommand},        {0x0046, MessageHandler::WindowPosChanging},
    {0x0047, MessageHandler::WindowPosChanged},  {0x0233, MessageHandler::DropFiles},
    {0x0113, MessageHandler::Timer},             {0x0111, MessageHandler::Command},
    {0x0086, MessageHandler::NcActivate},        {0x0006, MessageHandler::Activate},
    {0x001C, MessageHandler::ActivateApp},       {0x0022, MessageHandler::ChildActivate},
    {0x0121, MessageHandler::EnterIdle},         {0x0008, MessageHandler::KillFocus},
    {0x0007, MessageHandler::SetFocus},          {0x0018, MessageHandler::ShowWindow},
    {0x0021, MessageHandler::MouseActivate},     {0x00A0, MessageHandler::NcMouseMove},
    {0x00A9, MessageHandler::NcMButtonDblClk},   {0x00A8, MessageHandler::NcMButtonUp},
    {0x00A7, MessageHandler::NcMButtonDown},     {0x00A3, MessageHandler::NcLButtonDblClk},
    {0x00A2, MessageHandler::NcLButtonUp},       {0x00A1, MessageHandler::NcLButtonDown},
    {0x00A6, MessageHandler::NcRButtonDblClk},   {0x00A5, MessageHandler::NcRButtonUp},
    {0x00A4, MessageHandler::NcRButtonDown},     {0x0200, MessageHandler::MouseMove},
    {0x0209, MessageHandler::MButtonDblClk},     {0x0208, MessageHandler::MButtonUp},
    {0x0207, MessageHandler::MButtonDown},       {0x0203, MessageHandler::LButtonDblClk},
    {0x0202, MessageHandler::LButtonUp},         {0x0201, MessageHandler::LButtonDown},
    {0x0206, MessageHandler::RButtonDblClk},     {0x0205, MessageHandler::RButtonUp},
    {0x0204, MessageHandler::RButtonDown},       {0x0020, MessageHandler::SetCursor},
    {0x020A, MessageHandler::MouseWheel},        {0x0215, MessageHandler::CaptureChanged},
    {0x02A3, MessageHandler::MouseLeave},        {0x02A1, MessageHandler::MouseHover},
    {0x0084, MessageHandler::NcHitTest},         {0x0101, MessageHandler::KeyUp},
    {0x0100, MessageHandler::KeyDown},           {0x0102, MessageHandler::Char},
    {0x0312, MessageHandler::HotKey},            {0x0085, MessageHandler::NcPaint},
    {0x000F, MessageHandler::Paint},             {0x0014, MessageHandler::EraseBkgnd},
    {0x002C, MessageHandler::MeasureItem},       {0x002B, MessageHandler::DrawItem},
    {0x0115, MessageHandler::VScroll},           {0x0114, MessageHandler::HScroll},
    {0x0005, MessageHandler::Size},              {0x0214, MessageHandler::Sizing},
    {0x0003, MessageHandler::Move},              {0x0216, MessageHandler::Moving},
    {0x004E, MessageHandler::Notify},            {0x0210, MessageHandler::ParentNotify},
    {0x0087, MessageHandler::GetDlgCode},
};

TEST(MessageRouting, EveryHandlerIsReachedByItsMessage)
{
    for (const Expected& e : kExpected)
        EXPECT_EQ(routeMessage(e.message), e.handler) << "message 0x" << std::hex << e.message;
}

TEST(MessageRouting, NoOtherMessageBelowUserRangeHasAHandler)
{
    std::map<uint32_t, MessageHandler> expected;
    for (const Expected& e : kExpected)
        expected[e.message] = e.handler;
    for (uint32_t m = 0; m < kFirstUserMessage; ++m) {
        if (expected.count(m) == 0) {
            EXPECT_EQ(routeMessage(m), MessageHandler::None) << "message 0x" << std::hex << m;
        }
    }
}

TEST(MessageRouting, HandlersInRoutedRangesWithoutEntryAreNotHandled)
{
    EXPECT_EQ(routeMessage(0x0103), MessageHandler::None);  // WM_DEADCHAR
    EXPECT_EQ(routeMessage(0x0107), MessageHandler::None);  // WM_SYSDEADCHAR
    EXPECT_EQ(routeMessage(0x0108), MessageHandler::None);
    EXPECT_EQ(routeMessage(0x000C), MessageHandler::None);  // WM_SETTEXT
    EXPECT_EQ(routeMessage(0x0083), MessageHandler::None);  // WM_NCCALCSIZE
    EXPECT_EQ(routeMessage(0x0118), MessageHandler::None);
}

TEST(MessageRouting, UserRangeGoesToUserMessageHandler)
{
    EXPECT_EQ(routeMessage(0x03FF), MessageHandler::None);
    for (uint32_t m = 0x0400; m <= 0x7FFF; ++m)
        ASSERT_EQ(routeMessage(m), MessageHandler::UserMessage) << "message 0x" << std::hex << m;
}

TEST(MessageRouting, NullAppAndRegisteredMessagesAreNotRouted)
{
    EXPECT_EQ(routeMessage(0x0000), MessageHandler::None);  // WM_NULL
    for (uint32_t m = 0x8000; m <= 0xFFFF; ++m)
        ASSERT_EQ(routeMessage(m), MessageHandler::None) << "message 0x" << std::hex << m;
    EXPECT_EQ(routeMessage(0x10000), MessageHandler::None);
    EXPECT_EQ(routeMessage(0xFFFFFFFFu), MessageHandler::None);
}

TEST(MessageHalves, AreZeroExtendedSixteenBitHalves)
{
    // MAKELPARAM(-1, -2) as the platform packs it into a (signed) LPARAM.
    const intptr_t packed = static_cast<intptr_t>(static_cast<int32_t>(0xFFFEFFFFu));
    EXPECT_EQ(lowHalf(packed), 65535u);
    EXPECT_EQ(highHalf(packed), 65534u);
    EXPECT_EQ(lowHalf(uintptr_t(0x12345678u)), 0x5678u);
    EXPECT_EQ(highHalf(uintptr_t(0x12345678u)), 0x1234u);
    // A wheel delta of -120 in the high half of wParam.
    const uintptr_t wheel = (uintptr_t(uint16_t(-120)) << 16) | 0x0008u;
    EXPECT_EQ(highHalf(wheel), 65416u);
    EXPECT_EQ(lowHalf(wheel), 8u);
    EXPECT_EQ(lowHalf(0), 0u);
    EXPECT_EQ(highHalf(0), 0u);
}

}  // namespace
