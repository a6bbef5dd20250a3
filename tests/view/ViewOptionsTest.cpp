#include "view/ViewOptions.h"

#include <gtest/gtest.h>

using namespace spheres;

namespace {

ViewParseResult parse(std::vector<const char*> words) {
    words.insert(words.begin(), "sphere-view");
    return parseViewOptions(static_cast<int>(words.size()), words.data());
}

} // namespace

TEST(ViewOptionsTest, GlutGetsItsOwnOptionsAndFramesEndTheViewOnlyWhenGiven) {
    ViewParseResult r = parse({"-display", ":5", "--bodies=250", "-sync", "--rate", "0", "--frames",
                               "7", "-geometry", "320x200"});
    ASSERT_EQ(r.error, "");
    const ViewOptions& o = r.options;
    EXPECT_TRUE(o.framesGiven && o.frames == 7 && o.rate == 0.0 && o.bodies == 250);
    EXPECT_EQ(o.glutArguments, (std::vector<std::string>{"sphere-view", "-display", ":5", "-sync",
                                                         "-geometry", "320x200"}));
    // Without --frames the view runs until it is ended.
    const ViewOptions unbounded = parse({"--seed", "3"}).options;
    EXPECT_TRUE(!unbounded.framesGiven && unbounded.frames == 0);
}

TEST(ViewOptionsTest, BadArgumentsAreNamed) {
    struct Row {
        std::vector<const char*> words;
        const char* message;
    };
    const Row rows[] = {
        {{"-fullscreen"}, "unknown option '-fullscreen'"},
        {{"-display"}, "-display needs a value"},
        {{"--keys"}, "--keys needs a value"},
        {{"--rate", "10", "--rate", "20"}, "--rate is given twice"},
        {{"--screenshot", "no-such-dir/a.png"}, "--screenshot: cannot write"},
        {{"--trace", "x.csv", "--screenshot", "x.csv"}, "is the --trace"},
        {{"--screenshot="}, "--screenshot: the file name is empty"},
    };
    for (const Row& row : rows) {
        std::string error = parse(row.words).error;
        EXPECT_NE(error.find(row.message), std::string::npos) << error;
    }
    // X's geometry as the server takes it: sizes 1 to 32767, either part left out.
    for (const char* good : {"32767x1", "1X32767-0+32767", "=640x480", "+0-5"}) {
        EXPECT_EQ(parse({"-geometry", good}).error, "") << good;
    }
    for (const char* bad : {"0x0", "abc", "", "32768x1", "10x", "10x10+5", "10x10+1+1x", "="}) {
        EXPECT_EQ(parse({"-geometry", bad}).error.rfind("-geometry: '" + std::string(bad), 0), 0u)
            << bad;
    }
}
