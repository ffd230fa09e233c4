#include "updater/update_logic.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/exception.h"
#include "platform/file_stream.h"
#include "transfer/fake_transport.h"

namespace updater {
namespace {

using transfer::testing::FakeConnector;
using Texts = std::vector<std::string>;

// Records what the logic does to the window.
class FakeView : public TUpdateView {
  public:
    int ItemCount() const override { return static_cast<int>(items.size()); }
    int ItemIndex() const override { return index; }
    void SetItemIndex(int i) override {
        index = i;
        selections.push_back(i);
    }
    void ClearItems() override {
        items.clear();
        index = -1;
    }
    void AddItem(const std::string& text) override { items.push_back(text); }
    void SetProgressText(const std::string& text) override { gaugeTexts.push_back(text); }
    void SetGaugeMax(int v) override {
        max = v;
        gaugeLog.push_back("max " + std::to_string(v));
    }
    void SetGaugeMin(int v) override { gaugeLog.push_back("min " + std::to_string(v)); }
    void SetGaugeValue(int v) override { gaugeLog.push_back("value " + std::to_string(v)); }
    int GaugeMax() const override { return max; }
    void SetFileLabel(const std::string& text) override { fileLabels.push_back(text); }
    void SetSpeedLabel(const std::string& text) override { speedLabels.push_back(text); }
    void SetStartCaption(const std::string& text) override { startCaption = text; }
    void ShowMessage(const std::string& text, TMessageKind kind) override {
        messages.push_back((kind == TMessageKind::Error ? "error: " : "info: ") + text);
    }
    void CloseWindow() override { ++closes; }
    void Wait(int ms) override { waits.push_back(ms); }

    Texts items;
    int index = -1;
    std::vector<int> selections;
    Texts gaugeTexts;
    Texts gaugeLog;
    int max = 100;
    Texts fileLabels;
    Texts speedLabels;
    std::string startCaption = "开始升级";
    Texts messages;
    int closes = 0;
    std::vector<int> waits;
};

// Whether the game holds its files open.
bool gameRunning = false;
// The most bytes any file took in one write.
int64_t largestWrite = 0;

// A memory stream that notes its largest write.
class NotingStream : public base::TMemoryStream {
  public:
    int64_t Write(const void* buffer, int64_t count) override {
        largestWrite = std::max(largestWrite, count);
        return TMemoryStream::Write(buffer, count);
    }
};

// A file kept in memory; committed, it joins the test's written files.
class MemoryFile : public TFileWriter {
  public:
    MemoryFile(std::u16string path, std::vector<std::pair<std::u16string, std::string>>& written,
               const bool& fail)
        : path_(std::move(path)), written_(written), fail_(fail) {}
    base::TStream& Stream() override { return stream_; }
    void Restart() override {
        stream_.SetSize(0);
        stream_.Seek(0, base::SeekOrigin::Beginning);
    }
    void Commit(const std::u16string& aside) override {
        if (fail_) {
            throw base::EWriteError("Stream write error");
        }
        if (path_.find(u"game.dat") != std::u16string::npos && aside.empty() && gameRunning) {
            throw platform::EFileInUse("The file is in use: game.dat");
        }
        written_.emplace_back(path_ + (aside.empty() ? u"" : u" aside " + aside),
                              std::string(stream_.View()));
    }

  private:
    std::u16string path_;
    std::vector<std::pair<std::u16string, std::string>>& written_;
    const bool& fail_;
    NotingStream stream_;
};

std::string Ok(const std::string& body) {
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

const std::string kManifest =
    "2026-01-02 10:00:00@ 补丁 @data\\a.pak@ http://files.test/a.pak *"
    "2026-01-02 10:00:00@@新建\\文件.txt@http://files.test/b.txt*"
    "2026-01-02 10:00:00@@game.dat@http://files.test/c.dat\r\n";

class UpdateLogicTest : public ::testing::Test {
  protected:
    UpdateLogicTest() {
        auto owned = std::make_unique<FakeConnector>();
        connector = owned.get();
        client = std::make_unique<transfer::THTTPClient>(std::move(owned));
        client->OnWorkBegin = [this](transfer::THTTPClient&, transfer::TWorkMode, int32_t n) {
            logic->WorkBegin(n);
        };
        client->OnWork = [this](transfer::THTTPClient&, transfer::TWorkMode, int32_t p) {
            logic->Work(p);
        };
        client->OnWorkEnd = [this](transfer::THTTPClient&, transfer::TWorkMode) {
            logic->WorkEnd();
        };
        TUpdateEnvironment env;
        env.argument = " http://files.test/list.txt ";
        // A folder name that GBK cannot hold: files and the game must still
        // be found exactly there.
        env.check.current_dir = u"C:\\게임 游戏";
        env.check.settings = base::ChinesePrcSettings(2026);
        env.check.last_write_time = [](const std::u16string&) -> platform::FileTime { return 0; };
        env.check.to_local = [](platform::FileTime t) { return t; };
        env.tick_count = [this] { return tick; };
        env.program_path = u"C:\\게임 游戏\\updater.exe";
        env.create_file = [this](const std::u16string& path) -> std::unique_ptr<TFileWriter> {
            return std::make_unique<MemoryFile>(path, written, failWrites);
        };
        env.create_folder = [this](const std::u16string& path) {
            folders.push_back(path);
            return path != refusedFolder;
        };
        env.start_program = [this](const std::u16string& program, const std::u16string& folder) {
            started.push_back(program + u" in " + folder);
        };
        logic = std::make_unique<TUpdateLogic>(view, *client, std::move(env));
        logic->FormCreate();
    }

    // The manifest, then one response per file.
    void Serve(const std::string& manifest) { connector->Add({Ok(manifest)}); }
    void Show(const std::string& manifest = kManifest) {
        Serve(manifest);
        logic->FormShow();
    }

    FakeView view;
    FakeConnector* connector = nullptr;
    std::unique_ptr<transfer::THTTPClient> client;
    std::unique_ptr<TUpdateLogic> logic;
    uint32_t tick = 0;
    bool failWrites = false;
    std::vector<std::pair<std::u16string, std::string>> written;
    std::vector<std::u16string> started;
    std::vector<std::u16string> folders;
    std::u16string refusedFolder;
};

TEST_F(UpdateLogicTest, ShowListsThePendingUpdates) {
    Show();
    ASSERT_EQ(view.items.size(), 3u);
    EXPECT_EQ(view.items[0], "2026-01-02 10:00:00 补丁 data\\a.pak");
    EXPECT_EQ(logic->UrlList()[0], "http://files.test/a.pak");
    EXPECT_EQ(logic->PathList()[1], "新建\\文件.txt");
    EXPECT_EQ(logic->UrlList()[2], "http://files.test/c.dat");
    EXPECT_EQ(view.gaugeTexts.back(), "3个更新程序包等待下载");
    EXPECT_EQ(view.index, 0);
    EXPECT_EQ(view.fileLabels, Texts{"下载 0/3 data\\a.pak"});
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(view.closes, 0);
    // During the manifest transfer only the gauge moved.
    EXPECT_EQ(view.gaugeTexts.front(), "开始下载... ");
    EXPECT_TRUE(view.speedLabels.empty());
    EXPECT_EQ(view.gaugeLog.front(), "max " + std::to_string(kManifest.size()));
}

TEST_F(UpdateLogicTest, ShowFailuresCloseTheWindowWithTheirMessage) {
    Serve("2026-01-02@x@y");  // three fields only
    logic->FormShow();
    EXPECT_EQ(view.messages, Texts{"error: http://files.test/list.txt获取升级信息失败."});
    EXPECT_EQ(view.closes, 1);
    EXPECT_TRUE(view.items.empty());
}

TEST_F(UpdateLogicTest, AnEmptyManifestListsNothingAndThePressSaysSo) {
    Show("");
    EXPECT_TRUE(view.items.empty());
    EXPECT_TRUE(view.gaugeTexts.empty()) << "an empty body gives no progress events";
    EXPECT_TRUE(view.fileLabels.empty());
    logic->StartPressed();
    EXPECT_EQ(view.messages, Texts{"info: 没有可供升级的项目."});
    EXPECT_FALSE(logic->Finished());
}

TEST_F(UpdateLogicTest, ARunWritesEveryFileThenTheButtonLaunchesTheGame) {
    Show();
    connector->Add({Ok("AAAA")});
    connector->Add({Ok("")});
    connector->Add({Ok(std::string(5000, 'c'))});
    view.gaugeTexts.clear();
    logic->StartPressed();

    ASSERT_EQ(written.size(), 3u);
    EXPECT_EQ(written[0],
              std::make_pair(std::u16string(u"C:\\게임 游戏\\data\\a.pak"), std::string("AAAA")));
    EXPECT_EQ(written[1].first, u"C:\\게임 游戏\\新建\\文件.txt");
    EXPECT_EQ(written[1].second, "");
    EXPECT_EQ(written[2].second, std::string(5000, 'c'));
    EXPECT_EQ(view.selections, (std::vector<int>{0, 0, 1, 2}));
    EXPECT_EQ(view.gaugeTexts.back(), "升级完成 ");
    EXPECT_NE(std::find(view.gaugeTexts.begin(), view.gaugeTexts.end(), "更新本地文件... "),
              view.gaugeTexts.end());
    EXPECT_EQ(view.startCaption, "启动程序");
    EXPECT_EQ(view.messages, Texts{"info: 升级完成."});
    EXPECT_TRUE(logic->Finished());
    EXPECT_EQ(view.fileLabels.back(), "下载 3/3 game.dat  5KB of 5KB");
    EXPECT_EQ(view.closes, 0);

    logic->StartPressed();
    EXPECT_EQ(started, std::vector<std::u16string>{u"C:\\게임 游戏\\game.exe in C:\\게임 游戏"});
    EXPECT_EQ(view.closes, 1);
    EXPECT_EQ(written.size(), 3u) << "the launch downloads nothing";
}

TEST_F(UpdateLogicTest, AFailedTransferStopsTheRunAndTheNextPressStartsAgain) {
    Show();
    connector->Add({Ok("first")});
    connector->Add({"HTTP/1.1 404 Not Found\r\nContent-Length: 3\r\nConnection: close\r\n\r\nno!"});
    logic->StartPressed();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(view.messages, Texts{"error: HTTP/1.1 404 Not Found"});
    EXPECT_EQ(connector->opened.size(), 3u) << "the third file was not tried";
    EXPECT_TRUE(view.waits.empty()) << "a status the server answered is not tried again";
    EXPECT_EQ(view.startCaption, "开始升级");
    EXPECT_FALSE(logic->Finished());
    EXPECT_EQ(view.items.size(), 3u);

    connector->Add({Ok("1")});
    connector->Add({Ok("2")});
    connector->Add({Ok("3")});
    logic->StartPressed();
    EXPECT_EQ(written.size(), 4u);
    EXPECT_EQ(written[1].second, "1") << "the first file is fetched again";
    EXPECT_TRUE(logic->Finished());
}

// A body goes to its file piece by piece as it arrives, never held whole.
TEST_F(UpdateLogicTest, TheBodyGoesToItsFileAsItArrives) {
    Show("2026-01-02 10:00:00@@big.bin@http://files.test/big");
    const std::string body(200000, 'b');
    std::vector<std::string> pieces = {"HTTP/1.1 200 OK\r\nContent-Length: 200000\r\n\r\n"};
    for (size_t at = 0; at < body.size(); at += 10000) {
        pieces.push_back(body.substr(at, 10000));
    }
    connector->Add(pieces);
    largestWrite = 0;
    logic->StartPressed();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].second, body);
    EXPECT_GT(largestWrite, 0);
    EXPECT_LE(largestWrite, static_cast<int64_t>(transfer::THTTPClient::kReceivePiece));
}

// A transfer that fails on the way is tried again after 1, 2 and 4 s, the
// label saying so; then the run stops with the failure's own message. A
// file cut short is never written.
TEST_F(UpdateLogicTest, ATransferThatFailsOnTheWayIsTriedAgainThreeTimes) {
    Show();
    const std::string cut =
        "HTTP/1.1 200 OK\r\nContent-Length: 10\r\nConnection: close\r\n\r\n12345";
    for (int i = 0; i < 4; ++i) {
        connector->Add({cut});
    }
    logic->StartPressed();
    EXPECT_TRUE(written.empty());
    EXPECT_EQ(view.messages, Texts{"error: 下载不完整: 收到 5 字节, 应为 10 字节."});
    EXPECT_EQ(view.waits, (std::vector<int>{1000, 2000, 4000}));
    EXPECT_NE(
        std::find(view.fileLabels.begin(), view.fileLabels.end(), "连接中断, 2 秒后重试 (2/3)"),
        view.fileLabels.end());
    EXPECT_FALSE(logic->Finished());

    // A reset in the middle of the body, then a chunked body cut short: the
    // third try brings the whole file, which alone is written.
    view.waits.clear();
    connector->Add({"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nwh"}, false)->end_error =
        platform::kWsaConnReset;
    connector->Add({"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nab\r\nzz\r\n\r\n"});
    connector->Add({Ok("whole")});
    connector->Add({Ok("")});
    connector->Add({Ok("c")});
    logic->StartPressed();
    EXPECT_EQ(view.waits, (std::vector<int>{1000, 2000}));
    ASSERT_EQ(written.size(), 3u);
    EXPECT_EQ(written[0].second, "whole");
    EXPECT_TRUE(logic->Finished());
}

TEST_F(UpdateLogicTest, AFolderThatCannotBeMadeLeavesTheHandlerAfterTheFilesBeforeIt) {
    Show();
    connector->Add({Ok("a")});
    refusedFolder = u"C:\\게임 游戏\\新建";
    EXPECT_THROW(logic->StartPressed(), platform::EFCreateError);
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].second, "a");
    EXPECT_FALSE(logic->Finished());
}

TEST_F(UpdateLogicTest, AWriteFailureLeavesTheHandler) {
    Show();
    connector->Add({Ok("x")});
    connector->Add({Ok("y")});
    connector->Add({Ok("z")});
    failWrites = true;
    EXPECT_THROW(logic->StartPressed(), base::EWriteError);
    EXPECT_TRUE(written.empty()) << "nothing after the failing file is moved in";
    EXPECT_FALSE(logic->Finished());
    EXPECT_TRUE(view.messages.empty());
}

// A file the running game holds stops the run with a message naming it,
// after the files before it are in place; the updater's own file is moved
// aside to be replaced; missing folders are made below the install folder.
TEST_F(UpdateLogicTest, FilesInUseTheProgramItselfAndNewFolders) {
    Show();
    connector->Add({Ok("a")});
    connector->Add({Ok("b")});
    connector->Add({Ok("c")});
    gameRunning = true;
    logic->StartPressed();
    gameRunning = false;
    EXPECT_EQ(view.messages, Texts{"error: 文件正在使用中, 无法更新: game.dat"});
    EXPECT_EQ(written.size(), 2u);
    EXPECT_FALSE(logic->Finished());
    EXPECT_EQ(folders,
              (std::vector<std::u16string>{u"C:\\게임 游戏\\data", u"C:\\게임 游戏\\新建"}));

    written.clear();
    logic->FormCreate();
    Show("2026-01-02 10:00:00@@sub\\..\\Updater.EXE@http://files.test/u.exe");
    connector->Add({Ok("new")});
    logic->StartPressed();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].first, u"C:\\게임 游戏\\Updater.EXE aside C:\\게임 游戏\\Updater.EXE.old");
    EXPECT_TRUE(logic->Finished());
}

// A file whose manifest entry carries its SHA-256 is written only when the
// bytes match; a try cut short does not count into the hash of the next.
TEST_F(UpdateLogicTest, AFileWithAHashIsWrittenOnlyWhenItMatches) {
    const std::string abc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    Show("2026-01-02 10:00:00@@a.txt@http://files.test/a@sha256=" + abc +
         "*2026-01-02 10:00:00@@b.txt@http://files.test/b@sha256=" + abc);
    connector->Add({"HTTP/1.1 200 OK\r\nContent-Length: 3\r\nConnection: close\r\n\r\nab"});
    connector->Add({Ok("abc")});
    connector->Add({Ok("abd")});
    logic->StartPressed();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].second, "abc");
    EXPECT_EQ(view.messages, Texts{"error: 文件校验失败, 未写入: b.txt"});
    EXPECT_FALSE(logic->Finished());
}

TEST_F(UpdateLogicTest, SpeedAndAmountsFollowTheWorkEvents) {
    Show();
    view.fileLabels.clear();
    logic->WorkBegin(100000);
    const std::pair<int32_t, uint32_t> events[] = {
        {1000, 5000}, {33768, 5300}, {66536, 5600}, {99304, 5900}, {100000, 6200}};
    for (const auto& [position, at] : events) {
        tick = at;
        logic->Work(position);
    }
    EXPECT_EQ(view.speedLabels, Texts{"97KB/S"});
    EXPECT_EQ(view.fileLabels.back(), "下载 1/3 data\\a.pak  98KB of 98KB");
    EXPECT_EQ(view.gaugeLog.back(), "value 100000");
    EXPECT_EQ(view.gaugeTexts.back(), "下载中... ");

    // The next window starts at the following event, not at the one that
    // ended the last window.
    tick = 6300;
    logic->Work(100000);
    tick = 7299;
    logic->Work(100000);
    EXPECT_EQ(view.speedLabels.size(), 1u);
    tick = 7300;
    logic->Work(100000);
    EXPECT_EQ(view.speedLabels.back(), "0KB/S");
}

TEST_F(UpdateLogicTest, AWrapOfTheTickCountStillMeasuresTheTrueTime) {
    Show();
    logic->WorkBegin(4096);
    tick = 0xFFFFFE00u;
    logic->Work(0);
    tick = 0x00000100u;  // 768 ms later
    logic->Work(1024);
    EXPECT_TRUE(view.speedLabels.empty());
    tick = 0x000001F0u;  // 1008 ms after the start
    logic->Work(2048 + 512);
    EXPECT_EQ(view.speedLabels, Texts{"2KB/S"});
}

TEST_F(UpdateLogicTest, TheSecondFileShowsItsOneBasedPosition) {
    Show();
    view.index = 1;
    logic->WorkBegin(0);
    logic->Work(0);
    EXPECT_EQ(view.fileLabels.back(), "下载 2/3 新建\\文件.txt  0KB of 0KB");
    logic->WorkEnd();
    EXPECT_EQ(view.gaugeTexts.back(), "升级完成");
}

TEST_F(UpdateLogicTest, TheClosePressDropsAnOpenConnection) {
    Show();
    connector->Add({Ok("x")});
    connector->Add({Ok("y")});
    connector->Add({"HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nz"}, false);
    logic->StartPressed();
    ASSERT_EQ(written.size(), 3u);
    // The last connection is kept alive; the close press ends it.
    ASSERT_TRUE(client->Connected());
    logic->ClosePressed();
    EXPECT_FALSE(client->Connected());
    EXPECT_EQ(view.closes, 1);
    logic->FormClose();
    EXPECT_EQ(logic->UrlList().Count(), 0);
}

}  // namespace
}  // namespace updater
