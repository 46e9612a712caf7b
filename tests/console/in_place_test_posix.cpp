// Converting in place through the real console: every way of naming a file
// onto itself keeps what the file was, a name the program derives never
// replaces another picture, and a folder run into its own folder changes no
// pixel.

#include <gtest/gtest.h>

#include <filesystem>

#include "console/console_switches.h"
#include "services/folder_text.h"
#include "tests/common/image_file_builders.h"
#include "tests/common/in_place_cases.h"
#include "tests/console/console_test_support.h"

namespace fs = std::filesystem;

namespace {

struct Way {
    const char* name;
    std::vector<std::string> (*arguments)(const InPlaceFile& file, const std::string& folder);
};

const Way kWays[] = {
    {"file argument", [](const InPlaceFile& f, const std::string&) { return std::vector<std::string>{f.path, "-nd"}; }},
    {"-i X -o X",
     [](const InPlaceFile& f, const std::string&) {
         return std::vector<std::string>{"-i", f.path, "-o", f.path, "-nd"};
     }},
    {"-d", [](const InPlaceFile&, const std::string& folder) { return std::vector<std::string>{"-d", folder, "-nd"}; }},
};

RgbaImage flatPicture(uint8_t red, uint32_t width)
{
    RgbaImage picture;
    picture.width = width;
    picture.height = 6;
    for (uint32_t i = 0; i < width * picture.height; ++i)
        picture.pixels.insert(picture.pixels.end(), {red, uint8_t(i * 7), 40, 255});
    return picture;
}

size_t occurrences(const std::string& text, const std::string& word)
{
    size_t count = 0;
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
        ++count;
    return count;
}

}  // namespace

TEST(InPlace, EveryWayKeepsWhatTheFileWas)
{
    for (const InPlaceCase& c : kInPlaceCases) {
        for (const Way& way : kWays) {
            const std::string where = std::string(c.name) + " / " + way.name;
            TempDir dir;
            InPlaceFile file;
            std::string skipped;
            if (!c.prepare(dir.path(), file, skipped)) {
                EXPECT_FALSE(skipped.empty()) << where << ": the case could not be made";
                std::printf("skipped %s: %s\n", where.c_str(), skipped.c_str());
                continue;
            }
            const IdentitySnapshot before = identityOf(file);
            const ConsoleRun run = runConsoleArgs(way.arguments(file, dir.path()));
            EXPECT_EQ(run.status, CONSOLE_EXIT_SUCCESS) << where << "\n" << run.text;
            if (c.reportWord) {
                EXPECT_NE(run.text.find(c.reportWord), std::string::npos) << where << "\n" << run.text;
            }
            expectConvertedInPlace(c, file, before, where);
        }
    }
}

// -f splits a hard-linked file: the name given gets the new file, the other
// name keeps the old bytes; nothing is lost either way.
TEST(InPlace, ReplacingSwitchSplitsAHardLink)
{
    TempDir dir;
    InPlaceFile file;
    std::string skipped;
    const InPlaceCase& hardLink = kInPlaceCases[9];
    ASSERT_STREQ(hardLink.name, "hard link");
    ASSERT_TRUE(hardLink.prepare(dir.path(), file, skipped));
    const ConsoleRun run = runConsoleArgs({"-f", file.path, "-nd"});
    EXPECT_EQ(run.status, CONSOLE_EXIT_SUCCESS) << run.text;
    EXPECT_LT(readFileBytes(file.path).size(), file.before.size());
    EXPECT_EQ(readFileBytes(dir.file("other-name.png")), file.before);
}

// logo.bmp, logo.gif and logo.png are three pictures: wherever the program
// derives the output name, none replaces another, each clash is reported and
// the run fails; -f gives back the replacing behaviour.
TEST(InPlace, DerivedNamesNeverReplaceAnotherPicture)
{
    struct Case {
        const char* name;
        std::vector<std::string> arguments;   // "@" stands for the folder
        size_t clashes;                       // report lines naming a clash
    };
    const Case cases[] = {
        {"-d", {"-d", "@"}, 3},
        {"-d -od", {"-d", "@", "-od", "@/out"}, 3},
        {"-d --json", {"-d", "@", "--json"}, 3},
        {"file arguments", {"@/logo.bmp", "@/logo.gif", "@/logo.png"}, 3},
        {"-i logo.bmp", {"-i", "@/logo.bmp"}, 1},
        {"-i logo.gif --json", {"-i", "@/logo.gif", "--json"}, 1},
        {"logo.gif alone", {"@/logo.gif"}, 1},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const std::string folder = dir.file("logos");
        fs::create_directory(folder);
        writeFileBytes(folder + "/logo.bmp", encodeBmp24(flatPicture(200, 9)));
        writeFileBytes(folder + "/logo.gif", readFileBytes(corpusPath("gifsuite/gifs/static_nontransparent.gif")));
        writeFileBytes(folder + "/logo.png", encodePng(flatPicture(10, 13), false, 0));
        const Tree before = readTree(folder);
        for (const bool replace : {false, true}) {
            std::vector<std::string> arguments = {"-nd"};
            if (replace)
                arguments.push_back("-f");
            for (const std::string& word : c.arguments)
                arguments.push_back(word[0] == '@' ? folder + word.substr(1) : word);
            const ConsoleRun run = runConsoleArgs(arguments);
            const std::string where = std::string(c.name) + (replace ? " -f" : "") + "\n" + run.text;
            if (replace) {
                EXPECT_EQ(run.status, CONSOLE_EXIT_SUCCESS) << where;
                EXPECT_NE(readTree(folder), before) << where;
                continue;
            }
            EXPECT_EQ(run.status, CONSOLE_EXIT_FAILURE) << where;
            EXPECT_EQ(readTree(folder), before) << where;
            const size_t reported = occurrences(run.text, uiText(Msg::CellSharedOutput)) +
                                    occurrences(run.text, uiText(Msg::CellOutputExists)) +
                                    occurrences(run.text, "\"cause\":\"") +
                                    occurrences(run.text, "<出力先に別のﾌｧｲﾙがあります");
            EXPECT_EQ(reported, c.clashes) << where;
        }
    }
}

// A folder converted into itself keeps every transparent colour without -kt
// (the outputs replace their inputs) and says so; into another folder -kt decides.
TEST(InPlace, FolderIntoItselfChangesNoPixel)
{
    const char* const kTransparent[] = {"pngsuite/png/tbrn2c08.png", "pngsuite/png/tp1n3p08.png",
                                        "gifsuite/gifs/static_transparent.gif"};
    TempDir dir;
    const std::string folder = dir.file("in");
    fs::create_directory(folder);
    std::vector<std::pair<std::string, RgbaImage>> expected;
    for (const char* source : kTransparent) {
        const std::string name = fs::path(source).filename().string();
        writeFileBytes(folder + "/" + name, readFileBytes(corpusPath(source)));
        // The picture as shown: the transparent colour's pixels with alpha 0.
        RgbaImage picture;
        int32_t key = -1;
        ASSERT_TRUE(loadAsRgba(folder + "/" + name, picture, &key)) << name;
        for (size_t i = 0; i < picture.pixels.size(); i += 4) {
            const int32_t rgb = picture.pixels[i] << 16 | picture.pixels[i + 1] << 8 | picture.pixels[i + 2];
            if (rgb == key)
                picture.pixels[i + 3] = 0;
        }
        expected.emplace_back(fs::path(name).replace_extension(".png").string(), picture);
    }
    const ConsoleRun run = runConsoleArgs({"-d", folder, "-nd"});
    ASSERT_EQ(run.status, CONSOLE_EXIT_SUCCESS) << run.text;
    EXPECT_EQ(run.text.rfind(std::string(uiText(Msg::FolderInPlaceTransparency)) + "\n", 0), 0u) << run.text;
    for (const auto& [name, picture] : expected) {
        RgbaImage decoded;
        ASSERT_TRUE(decodePngWithLibpng(folder + "/" + name, decoded)) << name;
        EXPECT_EQ(decoded.pixels, picture.pixels) << name;
    }
}

// An animated GIF still gives its first frame, and every report says so once.
TEST(InPlace, AnimatedGifReportSaysFirstFrameOnly)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"-i", "@", "-o", "@.png"}, "ｱﾆﾒｰｼｮﾝGIFの1ﾌﾚｰﾑ目だけ"},
        {{"@"}, "ｱﾆﾒｰｼｮﾝGIFの1ﾌﾚｰﾑ目のみ"},
        {{"--json", "@"}, "\"animation\":\"first_frame_only\""},
    };
    for (const auto& [words, note] : cases) {
        TempDir dir;
        const std::string gif = dir.file("anim.gif");
        writeFileBytes(gif, readFileBytes(corpusPath("gifsuite/gifs/animated_loop.gif")));
        std::vector<std::string> arguments = {"-nd"};
        for (const std::string& word : words)
            arguments.push_back(word[0] == '@' ? gif + word.substr(1) : word);
        const ConsoleRun run = runConsoleArgs(arguments);
        EXPECT_EQ(run.status, CONSOLE_EXIT_SUCCESS) << run.text;
        EXPECT_EQ(occurrences(run.text, note), 1u) << words.front() << "\n" << run.text;
    }
}
