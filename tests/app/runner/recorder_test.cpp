// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "app/runner/key_lines.h"
#include "app/runner/record_script.h"
#include "app/runner/recorder.h"
#include "platform/virtual_keys.h"
#include "tests/support/fake_desktop.h"
#include "tests/support/temp_dir.h"
#include "vision/template_path.h"

namespace {

namespace vk = platform::vk;
using platform::WatchedEvent;
using testing_support::FakeDesktop;
using testing_support::ScopedCurrentDir;
using testing_support::TempDir;

WatchedEvent Key(std::uint8_t code, bool down, std::string text = {}, std::string name = {},
                 std::uint64_t ms = 0) {
    WatchedEvent e;
    e.kind = WatchedEvent::Kind::kKey;
    e.ms = ms;
    e.vk = code;
    e.down = down;
    e.text = down ? std::move(text) : "";
    e.name = std::move(name);
    return e;
}

// Keys as words: "+ctrl" and "-ctrl" (shift, alt, win alike) hold and let go; RET, BS, UP,
// DEL and Tab tap those keys; CLICK is a click; any other word taps a key that types it.
std::vector<WatchedEvent> Keys(const std::string& words) {
    const std::pair<const char*, std::uint8_t> named[] = {
        {"ctrl", vk::kLControl}, {"shift", vk::kLShift}, {"alt", vk::kLMenu},
        {"win", vk::kLWin},      {"RET", vk::kReturn},   {"BS", vk::kBack},
        {"UP", vk::kUp},         {"DEL", vk::kDelete},   {"Tab", vk::kTab}};
    std::vector<WatchedEvent> events;
    std::istringstream in(words);
    for (std::string word; in >> word;) {
        if (word == "CLICK") {
            events.emplace_back().kind = WatchedEvent::Kind::kButton;
            continue;
        }
        const bool hold = word.size() > 1 && (word[0] == '+' || word[0] == '-');
        const std::string name = hold ? word.substr(1) : word;
        const auto own = static_cast<std::uint8_t>(
            std::isalnum(static_cast<unsigned char>(name[0])) ? std::toupper(name[0]) : 0xBA);
        std::uint8_t code = own;
        for (const auto& [n, c] : named) code = name == n ? c : code;
        const bool typing = code == own;
        const std::string text = typing ? (name == "space" ? " " : name) : "";
        if (!hold || word[0] == '+') events.push_back(Key(code, true, text, name));
        if (!hold || word[0] == '-') events.push_back(Key(code, false, text, name));
    }
    return events;
}

TEST(KeyLines, TextNamedKeysAndModifiersBecomeLines) {
    const struct {
        std::string keys;
        std::vector<std::string> lines;  // each actual line starts with its expected one
    } cases[] = {
        {"h i , space w 1 - ? . / !", {"STR HI, W1-?./!"}},
        {"a RET b BS", {"STR A", "OPE RET", "STR B", "OPE BS"}},
        {"x +ctrl c -ctrl v", {"STR X", "OPE_ON CTRL", "STR C", "OPE_OFF CTRL", "STR V"}},
        {"+ctrl +alt DEL -alt -ctrl",
         {"OPE_ON CTRL", "OPE_ON ALT", "OPE DEL", "OPE_OFF ALT", "OPE_OFF CTRL"}},
        {"+win -win +alt -alt", {"OPE WIN", "OPE ALT"}},
        {"+ctrl s", {"OPE_ON CTRL", "STR S", "OPE_OFF CTRL"}},  // let go of at the end
        {"+shift A -shift b", {"; not recorded: Shift+A (types \"A\")", "STR B"}},
        {"+shift UP -shift", {"; not recorded: Shift+UP"}},
        {"+shift -shift", {"; not recorded: Shift pressed alone"}},
        {"a Tab é", {"STR A", "; not recorded: Tab", "; not recorded: é"}},
        {"+shift CLICK -shift", {}},  // Shift with a click is the recorder's to note
        {"a +alt CLICK b -alt", {"STR A", "OPE_ON ALT", "STR B", "OPE_OFF ALT"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys);
        std::vector<std::string> lines;
        app::KeyLines keys(lines);
        for (const WatchedEvent& e : Keys(c.keys)) {
            if (e.kind == WatchedEvent::Kind::kKey) keys.Take(e);
            if (e.kind == WatchedEvent::Kind::kButton) keys.BeforeAction();
        }
        keys.Finish();
        ASSERT_EQ(lines.size(), c.lines.size()) << ::testing::PrintToString(lines);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            EXPECT_TRUE(lines[i].starts_with(c.lines[i])) << lines[i];
        }
        EXPECT_EQ(keys.unrecorded().size(),
                  std::count_if(c.lines.begin(), c.lines.end(),
                                [](const std::string& l) { return l[0] == ';'; }));
    }
}

WatchedEvent Button(platform::Button b, bool down, int x, int y, std::uint64_t ms) {
    WatchedEvent e;
    e.kind = WatchedEvent::Kind::kButton;
    e.ms = ms;
    e.at = {x, y};
    e.button = b;
    e.down = down;
    return e;
}

WatchedEvent Wheel(std::uint64_t ms) {
    WatchedEvent e;
    e.kind = WatchedEvent::Kind::kWheel;
    e.ms = ms;
    return e;
}

// A screen of noise, unique everywhere, but for a flat grey square at its bottom right.
void MakeNoisy(FakeDesktop& desktop) {
    cv::Mat screen(240, 320, CV_8UC3);
    cv::RNG(7).fill(screen, cv::RNG::UNIFORM, 0, 256);
    screen(cv::Rect(220, 140, 100, 100)).setTo(cv::Scalar(90, 90, 90));
    desktop.SetScreen(320, 240, std::vector<std::uint8_t>(screen.datastart, screen.dataend));
    desktop.windows = {{"Notes - Editor", false, platform::Rect{0, 0, 160, 240}},
                       {"Mail - Editor", false, platform::Rect{160, 0, 320, 200}},
                       {"Notes", false, platform::Rect{0, 0, 320, 240}, false}};
}

TEST(Recorder, ClicksBecomeUniquePicturesOrPlaces) {
    const TempDir dir;
    const ScopedCurrentDir in(dir.path());
    dir.Write("Images/9.bmp", "taken");
    FakeDesktop desktop(320, 240);
    MakeNoisy(desktop);
    app::Recorder recorder(desktop, {std::nullopt, 500, 8});
    recorder.CopyScreen();
    using platform::Button::kLeft, platform::Button::kRight;
    const WatchedEvent events[] = {
        Button(kLeft, true, 100, 80, 1000),
        Button(kLeft, false, 101, 81, 1050),
        Button(kLeft, true, 100, 80, 1300),
        Button(kLeft, false, 100, 80, 1350),  // double
        Button(kLeft, true, 100, 80, 1500),
        Button(kLeft, false, 100, 80, 1530),  // triple
        Button(kLeft, true, 100, 80, 3330),
        Button(kLeft, false, 100, 80, 3400),
        Button(kRight, true, 200, 30, 3500),
        Button(kRight, false, 200, 30, 3600),
        Button(kLeft, true, 50, 50, 3700),
        Button(kLeft, false, 250, 100, 3800),  // drag
        Button(kLeft, true, 290, 200, 3900),
        Button(kLeft, false, 290, 200, 3950),  // flat, just below Mail
        Button(kLeft, true, 2, 200, 4000),
        Button(kLeft, false, 2, 200, 4050),  // edge
        Wheel(4100),
        Wheel(4110),
        Key(vk::kLControl, true, "", "", 6200),
        Key('V', true, "v", "v", 6300),
        Key(vk::kLControl, false, "", "", 6400),
        Wheel(6500),
        Button(kLeft, false, 5, 5, 6600),  // a release whose press came before the recording
    };
    for (const WatchedEvent& e : events) recorder.Take(e);
    recorder.Finish();
    const std::vector<std::string> want = {
        "CHK_WIND Notes - Editor",
        "IMG_CLK 8,44,24,157,137,",
        "CLK",
        "CLK",
        "WAIT 1800",
        "IMG_CLK 8,44,24,157,137,",
        "CHK_WIND Mail",
        "IMG 10,144,0,257,87,",
        "RCLICK",
        "CHK_WIND Notes - Editor",
        "IMG 11,0,0,107,107,",
        "DRAG",
        "IMG 12,194,44,307,157,",
        "DROP",
        "; not recorded: a picture of 290,200: no picture around it up to 59x79",
        "MOV 290,200",
        "CLK",
        "; not recorded: a picture of 2,200: too near the edge",
        "MOV 2,200",
        "CLK",
        "; not recorded: the wheel turned at 0,0",
        "WAIT 2200",
        "OPE_ON CTRL",
        "STR V",
        "OPE_OFF CTRL",
        "; not recorded: the wheel turned"};
    const std::vector<std::string>& lines = recorder.lines();
    ASSERT_EQ(lines.size(), want.size()) << ::testing::PrintToString(lines);
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_TRUE(lines[i].starts_with(want[i])) << lines[i];
    }
    EXPECT_EQ(recorder.saved(),
              (std::vector<std::string>{vision::TemplatePath(8), vision::TemplatePath(10),
                                        vision::TemplatePath(11), vision::TemplatePath(12)}));
    // The picture of a click is centred on it, and is the screen as it was.
    const cv::Mat first = cv::imread(vision::TemplatePath(8));
    ASSERT_EQ(first.size(), cv::Size(13, 13));
    EXPECT_EQ(app::NextTemplateNumber("Images"), 13);

    // Pictures cut from a part of the screen are placed on the whole screen; a part anywhere,
    // however far, is no fault.
    const struct {
        platform::Rect area;
        std::vector<std::string> lines;
    } parts[] = {
        {{100, 50, 320, 240},
         {"CHK_WIND Notes - Editor", "IMG_CLK 20,100,50,207,157,",
          "; not recorded: a picture of 50,20: outside the part", "MOV 50,20", "CLK",
          "; not recorded: a picture of 290,220: no picture around it up to 59x39 pixels is "
          "unique: the place at 249,159 scores 100 %",
          "MOV 290,220", "CLK"}},
        {{INT_MIN, INT_MIN, INT_MIN + 99, INT_MIN + 99},
         {"CHK_WIND Notes - Editor", "; not recorded: a picture of 150,100: outside the part",
          "MOV 150,100", "CLK", "; not recorded: a picture of 50,20: outside the part", "MOV 50,20",
          "CLK", "; not recorded: a picture of 290,220: outside the part", "MOV 290,220", "CLK"}},
    };
    for (const auto& c : parts) {
        app::Recorder part(desktop, {c.area, 500, 20});
        part.CopyScreen();
        for (const WatchedEvent& e :
             {Button(kLeft, true, 150, 100, 0), Button(kLeft, false, 150, 100, 0),
              Button(kLeft, true, 50, 20, 0), Button(kLeft, false, 50, 20, 0),
              Button(kLeft, true, 290, 220, 0), Button(kLeft, false, 290, 220, 0)}) {
            part.Take(e);
        }
        ASSERT_EQ(part.lines().size(), c.lines.size()) << ::testing::PrintToString(part.lines());
        for (std::size_t i = 0; i < c.lines.size(); ++i) {
            EXPECT_TRUE(part.lines()[i].starts_with(c.lines[i])) << part.lines()[i];
        }
    }
}

// The screen is copied while the pointer moves, a tenth of a second apart at most and never
// while a click waits to be read, and once more when things have settled after a click; not
// while the user does nothing.
TEST(RecordScript, CopiesTheScreenOnlyWhenItMayHaveChanged) {
    const TempDir dir;
    const ScopedCurrentDir in(dir.path());
    FakeDesktop desktop(320, 240);
    MakeNoisy(desktop);
    WatchedEvent motion;
    motion.kind = WatchedEvent::Kind::kMotion;
    // Copies: one at the start, none in the silence after it, one for the motion that ends
    // it, none for the motions right after, one for the motion after 150 ms of silence, none
    // for the next one, which a click follows at once, and one 250 ms after the click.
    const std::pair<std::uint32_t, WatchedEvent> steps[] = {
        {400, motion},
        {0, motion},
        {0, motion},
        {150, motion},
        {150, motion},
        {0, Button(platform::Button::kLeft, true, 100, 80, 0)},
        {0, Button(platform::Button::kLeft, false, 100, 80, 0)},
    };
    desktop.watched.clear();
    desktop.quiet_ms.clear();
    for (const auto& [quiet, event] : steps) {
        desktop.quiet_ms.push_back(quiet);
        desktop.watched.push_back(event);
    }
    desktop.quiet_ms.push_back(400);  // before the right CTRL key
    const app::RecordResult result =
        app::RecordScript(desktop, "r.dat", {}, [](const std::string&) { return true; });
    EXPECT_TRUE(result.written) << result.error;
    EXPECT_EQ(desktop.screen_copies, 4);
}

std::string Read(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

TEST(RecordScript, WritesTheScriptWholeOrNotAtAll) {
    const TempDir dir;
    const ScopedCurrentDir in(dir.path());
    FakeDesktop desktop(320, 240);
    MakeNoisy(desktop);
    desktop.watched = Keys("o k");
    desktop.watched.insert(desktop.watched.begin(),
                           {Button(platform::Button::kLeft, true, 100, 80, 0),
                            Button(platform::Button::kLeft, false, 100, 80, 0)});
    const auto record = [&](const std::string& path, bool replace) {
        return app::RecordScript(desktop, path, {}, [&](const std::string&) { return replace; });
    };
    dir.Write("r.dat", "STR OLD\n");
    app::RecordResult result = record("r.dat", false);
    EXPECT_FALSE(result.written);
    EXPECT_EQ(Read("r.dat"), "STR OLD\n");

    result = record("r.dat", true);
    EXPECT_TRUE(result.written) << result.error;
    EXPECT_EQ(result.summary,
              "r.dat: 3 lines written, 1 templates saved (" + vision::TemplatePath(1) + ")\n");
    const std::string script = Read("r.dat");
    EXPECT_TRUE(script.starts_with("CHK_WIND Notes - Editor\nIMG_CLK 1,44,24,157,137,")) << script;
    EXPECT_TRUE(script.ends_with("\nSTR OK\n")) << script;

    // A template that cannot be saved, a folder that takes no file: nothing is left behind.
    std::filesystem::remove_all("Images");
    dir.Write("Images", "a file, not a folder");
    result = record("s.dat", true);
    EXPECT_FALSE(result.written);
    EXPECT_TRUE(result.error.starts_with("cannot write Images")) << result.error;
    result = record("none/s.dat", true);
    EXPECT_FALSE(result.written);
    EXPECT_TRUE(result.error.starts_with("cannot write none")) << result.error;
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
        left.push_back(entry.path().filename().string());
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"Images", "r.dat"}));
}

}  // namespace
