// The server in-process, on the serial echo image: the API as scripts use
// it, and what it refuses.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "frontends/web/web_server.h"

namespace boardsim {
namespace {

class WebServerTest : public ::testing::Test {
protected:
    // `run`: the board runs as the server serves (false: it waits).
    void serve(const std::string& token = "", bool run = true)
    {
        options_.image = ECHO_ELF;
        options_.uartLoopback[1] = true;
        image_ = ElfImage::fromFile(options_.image);
        board_ = std::make_unique<WebBoard>(image_, options_, stream_);
        server_ = std::make_unique<WebServer>(*board_, stream_, WebAddress{}, token);
        server_->start();
        if (run) {
            runner_ = std::thread([this] { board_->run([this] { return stop_.load(); }); });
        }
        client_ = std::make_unique<httplib::Client>("127.0.0.1", server_->port());
    }

    void TearDown() override
    {
        stop_ = true;
        if (runner_.joinable()) {
            runner_.join();
        }
        if (server_) {
            server_->stop();
        }
    }

    nlohmann::json state() { return nlohmann::json::parse(client_->Get("/api/state")->body); }

    // Polls the state until `holds` or five seconds have passed.
    template <typename Check>
    bool eventually(Check holds)
    {
        for (int i = 0; i < 100; ++i) {
            if (holds(state())) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    Options options_;
    ElfImage image_;
    EventStream stream_;
    std::unique_ptr<WebBoard> board_;
    std::unique_ptr<WebServer> server_;
    std::atomic<bool> stop_{false};
    std::thread runner_;
    std::unique_ptr<httplib::Client> client_;
};

// The server answers as soon as it listens, before the board has run.
TEST_F(WebServerTest, TheStateIsThereBeforeTheBoardRuns)
{
    serve("", false);
    const auto reply = client_->Get("/api/state");
    ASSERT_TRUE(reply);
    const nlohmann::json s = nlohmann::json::parse(reply->body);
    EXPECT_EQ(s["time"], 0.0);
    EXPECT_EQ(s["uart"][0]["sent"], 0);
}

TEST_F(WebServerTest, TypedBytesGoToTheBoardAndTheStateCountsThem)
{
    serve();
    ASSERT_TRUE(eventually([](const nlohmann::json& s) { return s["uart"][0]["sent"] == 11; }));  // "echo ready\n"
    const auto typed = client_->Post("/api/uart0", "abc", "application/octet-stream");
    ASSERT_TRUE(typed);
    EXPECT_EQ(typed->status, 204);
    EXPECT_TRUE(eventually([](const nlohmann::json& s) { return s["uart"][0]["sent"] == 14; }));
    const nlohmann::json s = state();
    EXPECT_EQ(s["uart"][0]["typed"], 3);
    EXPECT_EQ(s["image"], "kit_echo_arm.elf");
    EXPECT_TRUE(s["running"].get<bool>());
    EXPECT_EQ(stream_.latest("uart0"), R"({"bytes":[101,99,104,111,32,114,101,97,100,121,10,97,98,99],"reset":true})");
}

TEST_F(WebServerTest, PausesChangesSpeedAndResets)
{
    serve();
    EXPECT_EQ(client_->Post("/api/pause")->status, 204);
    ASSERT_TRUE(eventually([](const nlohmann::json& s) { return !s["running"].get<bool>(); }));
    const double paused = state()["time"];
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(state()["time"], paused);
    EXPECT_EQ(client_->Post("/api/speed?x=2")->status, 204);
    EXPECT_EQ(client_->Post("/api/run")->status, 204);
    EXPECT_TRUE(eventually([](const nlohmann::json& s) { return s["speed"] == 2.0 && s["running"].get<bool>(); }));
    EXPECT_EQ(client_->Post("/api/reset")->status, 204);
    EXPECT_TRUE(eventually([](const nlohmann::json& s) { return s["generation"] == 2; }));
    const auto picture = client_->Get("/api/lcd.png");
    EXPECT_EQ(picture->get_header_value("Content-Type"), "image/png");
    EXPECT_EQ(picture->body.substr(1, 3), "PNG");
}

TEST_F(WebServerTest, RefusesBadArgumentsForeignHostsAndOtherSitesPages)
{
    serve();
    for (const char* bad : {"/api/press?key=5", "/api/press?key=1&ms=0", "/api/key?key=2&down=2", "/api/speed?x=0",
                            "/api/speed?x=1e9", "/api/pins?list=32", "/api/pins?list=1,,2"}) {
        EXPECT_EQ(client_->Post(bad)->status, 400) << bad;
    }
    EXPECT_EQ(client_->Get("/no/such/file")->status, 404);
    EXPECT_EQ(client_->Get("/../../etc/passwd")->status, 404);
    EXPECT_EQ(client_->Get("/api/state", {{"Host", "attacker.example:80"}})->status, 403);
    EXPECT_EQ(client_->Post("/api/reset", {{"Origin", "http://attacker.example"}}, "", "text/plain")->status, 403);
    const std::string ours = "http://127.0.0.1:" + std::to_string(server_->port());
    EXPECT_EQ(client_->Post("/api/press?key=1", {{"Origin", ours}}, "", "text/plain")->status, 204);
    EXPECT_EQ(client_->Post("/api/uart0", std::string(5000, 'x'), "text/plain")->status, 413);
    EXPECT_EQ(client_->Post("/api/uart1", "x", "text/plain")->status, 409) << "UART1 has a loopback plug";
    EXPECT_EQ(client_->Get("/")->get_header_value("Content-Type"), "text/html; charset=utf-8");
}

TEST_F(WebServerTest, WithATokenEveryRequestMustCarryIt)
{
    serve("s3cret");
    EXPECT_EQ(client_->Get("/api/state")->status, 403);
    EXPECT_EQ(client_->Get("/api/state?token=guess1")->status, 403);
    EXPECT_EQ(client_->Get("/api/state?token=s3cret")->status, 200);
    EXPECT_EQ(client_->Get("/api/state", {{"Authorization", "Bearer s3cret"}})->status, 200);
    EXPECT_EQ(client_->Get("/api/state", {{"Cookie", "a=b; boardsim_token=s3cret"}})->status, 200);
    const auto page = client_->Get("/?token=s3cret");
    EXPECT_EQ(page->status, 200);
    EXPECT_NE(page->get_header_value("Set-Cookie").find("boardsim_token=s3cret"), std::string::npos);
    EXPECT_NE(server_->url().find("?token=s3cret"), std::string::npos);
    EXPECT_EQ(randomToken().size(), 32u);
    EXPECT_NE(randomToken(), randomToken());
}

}  // namespace
}  // namespace boardsim
