// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/sway_ipc.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/wayland/stop_binding.h"
#include "platform/wayland/view_match.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

extern char** environ;

namespace platform::wayland {
namespace {

using namespace std::chrono_literals;

// A tiled stack of a native and an XWayland window, two side by side, a floating one, a tiled
// one inside a floating container, one in the scratchpad.
constexpr const char* kTree = R"({"type":"root","id":1,"nodes":[{"type":"output","nodes":[
 {"type":"workspace","name":"1","nodes":[{"type":"con","id":7,"layout":"stacked","nodes":[
  {"type":"con","id":5,"name":"Tést","app_id":"a","pid":10,"visible":true,"focused":true,
   "rect":{"x":0,"y":50,"width":1024,"height":718},"deco_rect":{"x":0,"y":0,"width":1024,"height":25}},
  {"type":"con","id":6,"name":"X","app_id":null,"window_properties":{"class":"XTerm"},"pid":11,
   "visible":false,"rect":{"x":0,"y":50,"width":1024,"height":718},
   "deco_rect":{"x":0,"y":25,"width":1024,"height":25}}]},
  {"type":"con","id":30,"layout":"splith","nodes":[{"type":"con","id":31,"name":"L","pid":15,
   "rect":{"x":0,"y":420,"width":512,"height":348},"deco_rect":{"x":0,"y":0,"width":512,"height":20}},
   {"type":"con","id":32,"name":"R","pid":16,"rect":{"x":512,"y":420,"width":512,"height":348},
   "deco_rect":{"x":0,"y":0,"width":512,"height":20}}]}],
  "floating_nodes":[{"type":"floating_con","id":8,"name":"F","app_id":"f","pid":12,"visible":true,
   "rect":{"x":160,"y":134,"width":704,"height":502},"deco_rect":{"x":160,"y":109,"width":704,"height":25}},
   {"type":"floating_con","id":2,"nodes":[{"type":"con","id":3,"name":"G","app_id":"g","pid":14,
    "rect":{"x":1,"y":2,"width":3,"height":4},"deco_rect":{"x":0,"y":0,"width":3,"height":0}}]}]},
 {"type":"workspace","name":"__i3_scratch","floating_nodes":[{"type":"floating_con","id":9,
  "name":"S","app_id":"s","pid":13,"visible":true,"rect":{"x":0,"y":0,"width":10,"height":10},
  "deco_rect":{"x":0,"y":0,"width":0,"height":0}}]}]}]})";

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    return text.replace(text.find(from), from.size(), to);
}

std::string Describe(const SwayView& v) {
    const Rect& r = v.rect;
    return std::to_string(v.id) + " " + v.title + " " + v.app_id + " " + std::to_string(v.pid) +
           " " + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
           std::to_string(r.right) + "," + std::to_string(r.bottom) + (v.visible ? " shown" : "") +
           (v.focused ? " focused" : "") + (v.floating ? " floating" : "") +
           (v.in_scratchpad ? " in scratchpad" : "");
}

TEST(SwayViews, ReadsEveryViewInTreeOrderWithItsOuterRectangle) {
    const auto views = ParseSwayViews(kTree);
    ASSERT_TRUE(views);
    std::vector<std::string> got;
    for (const SwayView& view : *views) got.push_back(Describe(view));
    EXPECT_EQ(got, (std::vector<std::string>{
                       "5 Tést a 10 0,0,1024,768 shown focused", "6 X XTerm 11 0,0,1024,768",
                       "31 L  15 0,400,512,768", "32 R  16 512,400,1024,768",
                       "8 F f 12 160,109,864,636 shown floating", "3 G g 14 1,2,4,6 floating",
                       "9 S s 13 0,0,10,10 floating in scratchpad"}));
}

TEST(SwayViews, RefusesMalformedTrees) {
    const std::string tree = kTree;
    for (const std::string& bad :
         {std::string("{"), std::string("[]"), std::string("null"),
          Replace(tree, R"("id":5)", R"("id":"5")"), Replace(tree, R"("pid":10)", R"("pid":"x")"),
          Replace(tree, R"("width":704)", R"("width":-1)"),
          Replace(tree, R"("y":134)", R"("y":"134")"),
          Replace(tree, R"("y":134)", R"("y":2147483600)"),
          Replace(tree, R"("rect":{"x":0,"y":0)", R"("rekt":{"x":0,"y":0)"),
          Replace(tree, R"({"type":"floating_con","id":9)", R"(7,{"id":9)"),
          Replace(tree, R"("nodes":[{"type":"con","id":7)", R"("nodes":{"type":"con","id":7)") +
              "}",
          R"({"type":"root","nodes":)" + std::string(300, '[') + std::string(300, ']') + "}"}) {
        EXPECT_FALSE(ParseSwayViews(bad)) << bad;
    }
}

TEST(SwayReplies, CommandAndBindingEvent) {
    const auto failed = ParseCommandReply(R"([{"success":true},{"success":false,"error":"E"}])");
    EXPECT_EQ(std::pair(failed.ok, failed.error), std::pair(false, std::string("E")));
    EXPECT_TRUE(ParseCommandReply(R"([{"success":true},{"success":true}])"));
    for (const char* bad :
         {"[]", R"([{"success":"yes"}])", "[true]", R"({"success":true})", "[{"}) {
        const CommandResult result = ParseCommandReply(bad);
        EXPECT_FALSE(result.ok || result.error.empty()) << bad;
    }
    EXPECT_EQ(ParseBindingCommand(R"({"change":"run","binding":{"command":"nop t"}})"), "nop t");
    for (const char* other : {R"({"change":"run","binding":{"command":5}})", R"({"change":"run"})",
                              R"({"change":"x","binding":{"command":"nop t"}})", "[", "7"}) {
        EXPECT_FALSE(ParseBindingCommand(other)) << other;
    }
}

TEST(ViewMatch, PicksAnUnusedViewOfTheSameTitleAndAppId) {
    const std::vector<SwayView> views = {{.id = 1, .title = "t", .app_id = "a"},
                                         {.id = 2, .title = "t", .app_id = "b"},
                                         {.id = 3, .title = "t", .app_id = "a", .focused = true},
                                         {.id = 4, .title = "t", .app_id = "a"}};
    // clang-format off
    struct Case {
        const char *title, *app;
        bool activated;
        std::set<std::int64_t> used;
        std::optional<std::size_t> want;
    } cases[] = {
        {"t", "a", false, {}, 0}, {"t", "a", true, {}, 2}, {"t", "a", false, {1}, 3},
        {"t", "a", false, {1, 4}, 2}, {"t", "b", true, {}, 1},
        {"t", "a", true, {1, 3, 4}, std::nullopt}, {"T", "a", false, {}, std::nullopt},
        {"t", "", false, {}, std::nullopt}};
    // clang-format on
    for (const Case& c : cases) {
        EXPECT_EQ(MatchView(c.title, c.app, c.activated, views, c.used), c.want)
            << c.title << " " << c.app << " " << c.activated << " used " << c.used.size();
    }
}

std::string Frame(std::uint32_t type, const std::string& payload, std::uint32_t length = 0) {
    length = length ? length : static_cast<std::uint32_t>(payload.size());
    std::string out = "i3-ipc";
    out.append(reinterpret_cast<const char*>(&length), 4);
    out.append(reinterpret_cast<const char*>(&type), 4);
    return out + payload;
}

// A compositor that answers one request with scripted bytes, in pieces, then hangs up or not.
TEST(SwayIpcWire, SurvivesEveryBrokenAnswer) {
    const std::string tree = Frame(kSwayGetTree, kTree);
    const std::string event = Frame(kSwayBindingEvent, "{}");
    struct Case {
        const char* name;
        std::vector<std::string> pieces;
        bool hang_up;
        bool views;
        int events;       // -1: the connection is lost
        const char* why;  // words of the reason it is lost
    } cases[] = {
        {"in pieces", {tree.substr(0, 3), tree.substr(3, 20), tree.substr(23)}, false, true, 0, ""},
        {"event first", {event + tree}, false, true, 1, ""},
        {"malformed tree", {Frame(kSwayGetTree, "{")}, false, false, 0, ""},
        {"silent", {}, false, false, -1, "in time"},
        {"cut short", {tree.substr(0, 40)}, true, false, -1, "closed"},
        {"no magic", {"i3-ipX" + tree.substr(6)}, false, false, -1, "magic"},
        {"too large", {Frame(kSwayGetTree, "", 0xffffffffu)}, false, false, -1, "too large"},
        {"other reply", {Frame(kSwayGetVersion, "{}")}, false, false, -1, "different"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing_support::TempDir dir;
        const std::string path = dir.Path("sock");
        UniqueFd server(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, path.c_str());
        ASSERT_EQ(::bind(server.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(::listen(server.get(), 1), 0);
        std::string error;
        const auto ipc = SwayIpc::Open(path, error, 300ms);
        ASSERT_TRUE(ipc) << error;
        UniqueFd peer(::accept(server.get(), nullptr, nullptr));
        std::thread answer([&] {
            char request[14];
            ASSERT_EQ(::recv(peer.get(), request, sizeof request, MSG_WAITALL), 14);
            for (const std::string& piece : c.pieces) {
                std::this_thread::sleep_for(20ms);
                ::send(peer.get(), piece.data(), piece.size(), MSG_NOSIGNAL);
            }
            if (c.hang_up) peer.Reset();
        });
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(ipc->Windows().has_value(), c.views);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
        answer.join();
        EXPECT_EQ(ipc->Lost().has_value(), c.events < 0);
        EXPECT_NE(ipc->Lost().value_or("").find(c.why), std::string::npos)
            << ipc->Lost().value_or("");
        const auto events = ipc->TakeEvents();
        EXPECT_EQ(events ? static_cast<int>(events->size()) : -1, c.events);
        EXPECT_TRUE(c.events >= 0 || !ipc->Command("nop"));
    }
}

// The tests below use the private sway the test runs on.
class LiveSway : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto path = SwayIpc::SocketFromEnvironment();
        if (!path) GTEST_SKIP() << "SWAYSOCK is not set";
        path_ = *path;
        std::string error;
        ipc_ = SwayIpc::Open(path_, error);
        ASSERT_TRUE(ipc_) << error;
    }
    void TearDown() override {
        for (pid_t child : children_) ::kill(child, SIGTERM), ::waitpid(child, nullptr, 0);
    }
    pid_t Spawn(std::vector<std::string> args) {
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        pid_t child = 0;
        EXPECT_EQ(::posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ), 0);
        children_.push_back(child);
        return child;
    }
    void Reap(pid_t child) {
        ::waitpid(child, nullptr, 0);
        std::erase(children_, child);
    }
    std::optional<SwayView> View(const std::string& app_id) {
        const auto views = ipc_->Windows().value_or(std::vector<SwayView>{});
        const auto it = std::ranges::find(views, app_id, &SwayView::app_id);
        return it == views.end() ? std::nullopt : std::optional(*it);
    }
    std::string path_;
    std::unique_ptr<SwayIpc> ipc_;
    std::vector<pid_t> children_;
};

TEST_F(LiveSway, CommandsSucceedOnlyWhenEachOneDoes) {
    EXPECT_TRUE(ipc_->Command("nop a; nop b"));
    for (const char* bad : {"bogus", "nop a; bogus", "[app_id=no-such-window] kill"}) {
        const CommandResult result = ipc_->Command(bad);
        EXPECT_FALSE(result) << bad;
        EXPECT_FALSE(result.error.empty()) << bad;
    }
}

TEST_F(LiveSway, ListsWindowsWithTheirOuterRectangleAndVisibility) {
    const pid_t foot = Spawn({"foot", "--app-id", "ipc-test", "--title", "Fenêtre 窓"});
    ASSERT_TRUE(testing_support::WaitUntil([&] { return View("ipc-test").has_value(); }));
    auto view = View("ipc-test");
    // Alone on the 1024x768 output with a title bar and borders: it fills the output.
    EXPECT_EQ(Describe(*view), std::to_string(view->id) + " Fenêtre 窓 ipc-test " +
                                   std::to_string(foot) + " 0,0,1024,768 shown focused");
    ASSERT_TRUE(ipc_->Command("floating enable, resize set 400 300, move position 100 50"));
    view = View("ipc-test");
    EXPECT_EQ(std::tie(view->rect.left, view->rect.top), std::tuple(100, 50));
    for (const char* hide : {"move scratchpad", "scratchpad show, move to workspace 2"}) {
        ASSERT_TRUE(ipc_->Command(hide));
        EXPECT_FALSE(View("ipc-test")->visible) << hide;
    }
}

TEST_F(LiveSway, StopBindingSeesRightControlAndGoesAway) {
    std::string error;
    auto binding = StopKeyBinding::Create(path_, error);
    ASSERT_TRUE(binding) << error;
    EXPECT_FALSE(binding->Held());
    // wtype holds the key while it sleeps; its keyboard lets go of it when it exits.
    const pid_t wtype = Spawn({"wtype", "-P", "Control_R", "-s", "1500"});
    EXPECT_TRUE(testing_support::WaitUntil([&] { return binding->Held(); }, 1s));
    Reap(wtype);
    EXPECT_TRUE(testing_support::WaitUntil([&] { return !binding->Held(); }, 1s));
    binding.reset();
    for (const char* unbind :
         {"unbindsym --no-repeat Control_R", "unbindsym --release Control_R"}) {
        EXPECT_FALSE(ipc_->Command(unbind)) << unbind << " found a binding left behind";
    }
}

TEST_F(LiveSway, ACompositorThatStopsOrGoesAwayFailsEveryCall) {
    const char* pid_text = std::getenv("SWAY_PID");
    if (!pid_text) GTEST_SKIP() << "SWAY_PID is not set";
    const pid_t sway = std::atoi(pid_text);
    std::string error;
    const auto binding = StopKeyBinding::Create(path_, error);
    ASSERT_TRUE(binding) << error;
    const auto slow = SwayIpc::Open(path_, error, 300ms);
    ASSERT_EQ(::kill(sway, SIGSTOP), 0);
    EXPECT_FALSE(slow->Windows());
    ::kill(sway, SIGCONT);
    ASSERT_EQ(::kill(sway, SIGKILL), 0);
    EXPECT_TRUE(testing_support::WaitUntil([&] { return !binding->Held() && binding->Lost(); }));
    // Its socket is closed now: writing to it must fail without a SIGPIPE.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ipc_->Windows());
    EXPECT_FALSE(ipc_->Command("nop"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

}  // namespace
}  // namespace platform::wayland
