#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/logic/drop_rules.h"

namespace {

// A drop of one path, queried as the platform's drop query answers; when
// copyLength is set, a copy yields that many bytes whatever the path's length
// (a drop whose answers disagree).
struct FakeDrop {
    std::string path;
    int copyLength = -1;
};

unsigned queryFake(void* drop, unsigned index, char* buffer, unsigned size)
{
    const FakeDrop& fake = *static_cast<FakeDrop*>(drop);
    if (index != 0)
        return 0;
    if (!buffer)
        return static_cast<unsigned>(fake.path.size());
    if (size == 0)
        return 0;
    std::string copy = fake.path;
    if (fake.copyLength >= 0)
        copy.assign(static_cast<size_t>(fake.copyLength), 'x');
    const size_t n = std::min<size_t>(copy.size(), size - 1);
    std::memcpy(buffer, copy.data(), n);
    buffer[n] = 0;
    return static_cast<unsigned>(n);
}

struct Taken {
    DroppedPath answer;
    std::string text;
};

Taken take(FakeDrop drop, unsigned capacity)
{
    std::vector<char> buffer(capacity + 1, '?');
    const DroppedPath answer = takeDroppedPath(queryFake, &drop, buffer.data(), capacity);
    EXPECT_NE(std::memchr(buffer.data(), 0, buffer.size()), nullptr) << "no NUL in the buffer";
    return {answer, buffer.data()};
}

std::string pathOfLength(size_t length)
{
    std::string path = "C:\\";
    while (path.size() < length)
        path += static_cast<char>('a' + path.size() % 26);
    return path.substr(0, length);
}

}  // namespace

TEST(DropRules, APathIsTakenWholeOrRefused)
{
    // Every length around a small capacity and around the program's own.
    for (const unsigned capacity : {8u, kDroppedPathCapacity}) {
        for (size_t length = 0; length <= capacity + 3; length += (length + 8 < capacity ? 7 : 1)) {
            const std::string path = pathOfLength(length);
            const Taken taken = take({path}, capacity);
            if (length == 0) {
                EXPECT_EQ(taken.answer, DroppedPath::None);
                EXPECT_EQ(taken.text, "");
            } else if (length <= capacity) {
                EXPECT_EQ(taken.answer, DroppedPath::Taken) << length << " of " << capacity;
                EXPECT_EQ(taken.text, path);
            } else {
                EXPECT_EQ(taken.answer, DroppedPath::TooLong) << length << " of " << capacity;
                EXPECT_EQ(taken.text, "") << "a cut path was left in the buffer";
            }
        }
    }
    EXPECT_EQ(take({pathOfLength(4000)}, kDroppedPathCapacity).answer, DroppedPath::TooLong);
}

TEST(DropRules, DisagreeingAnswersTakeNothing)
{
    // The copy is shorter than the length reported: not the path.
    Taken taken = take({"C:\\pictures\\a.bmp", 5}, 32);
    EXPECT_EQ(taken.answer, DroppedPath::None);
    EXPECT_EQ(taken.text, "");
    // The copy fills the buffer: cut, however short the reported length was.
    taken = take({"C:\\a.bmp", 40}, 16);
    EXPECT_EQ(taken.answer, DroppedPath::TooLong);
    EXPECT_EQ(taken.text, "");
}
