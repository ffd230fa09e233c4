#include "updater/update_logic.h"

#include <exception>
#include <optional>
#include <utility>

#include "base/exception.h"
#include "base/rounding.h"
#include "base/streams.h"
#include "base/text.h"
#include "platform/socket.h"

namespace updater {

namespace {

// The window's texts (GBK).
constexpr char kLaunchCaption[] = "启动程序";
constexpr char kNothingToDo[] = "没有可供升级的项目.";
constexpr char kDone[] = "升级完成.";
constexpr char kDoneGauge[] = "升级完成 ";
constexpr char kWritingGauge[] = "更新本地文件... ";
constexpr char kBeginGauge[] = "开始下载... ";
constexpr char kDownloadingGauge[] = "下载中... ";
constexpr char kEndGauge[] = "升级完成";
constexpr char kDownload[] = "下载 ";
constexpr char kRetryPrefix[] = "连接中断, ";
constexpr char kRetryMiddle[] = " 秒后重试 (";
constexpr char kInUse[] = "文件正在使用中, 无法更新: ";
constexpr char kHashMismatch[] = "文件校验失败, 未写入: ";

// Whether two paths name the same file: equal but for the letter case of
// ASCII letters, as Windows compares names.
bool SameFile(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        char16_t x = a[i];
        char16_t y = b[i];
        x = x >= u'A' && x <= u'Z' ? static_cast<char16_t>(x - u'A' + u'a') : x;
        y = y >= u'A' && y <= u'Z' ? static_cast<char16_t>(y - u'A' + u'a') : y;
        if (x != y && !((x == u'/' || x == u'\\') && (y == u'/' || y == u'\\'))) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string IncompleteBodyMessage(int64_t received, int64_t announced) {
    const std::string head = "下载不完整: 收到 " + std::to_string(received) + " 字节, ";
    // A chunked body announces no size.
    if (announced < 0) {
        return head + "大小未知.";
    }
    return head + "应为 " + std::to_string(announced) + " 字节.";
}

TUpdateLogic::TUpdateLogic(TUpdateView& view, transfer::THTTPClient& client, TUpdateEnvironment env)
    : view_(view), client_(client), env_(std::move(env)) {}

void TUpdateLogic::FormCreate() {
    urlList_.Clear();
    pathList_.Clear();
    hashList_.clear();
    finished_ = false;
}

void TUpdateLogic::FormClose() {
    urlList_.Clear();
    pathList_.Clear();
    hashList_.clear();
}

void TUpdateLogic::FormShow() {
    TCheckResult result = RunUpdateCheck(env_.argument, client_, env_.check);
    if (result.outcome != TCheckResult::Outcome::kChecked) {
        view_.ShowMessage(result.message, TMessageKind::Error);
        view_.CloseWindow();
        return;
    }
    view_.ClearItems();
    for (TPendingUpdate& p : result.pending) {
        view_.AddItem(p.display);
        urlList_.Add(std::move(p.url));
        pathList_.Add(std::move(p.path));
        hashList_.push_back(std::move(p.sha256));
    }
    if (view_.ItemCount() > 0) {
        view_.SetProgressText(result.gauge_text);
        view_.SetItemIndex(0);
        view_.SetFileLabel(result.label_text);
    }
}

void TUpdateLogic::StartPressed() {
    if (finished_) {
        env_.start_program(env_.check.current_dir + u"\\game.exe", env_.check.current_dir);
        view_.CloseWindow();
        return;
    }
    if (view_.ItemCount() == 0) {
        view_.ShowMessage(kNothingToDo, TMessageKind::Information);
        return;
    }
    Run();
}

bool IsPassingFailure(const std::exception& error) {
    if (const auto* socket = dynamic_cast<const platform::ESocketError*>(&error)) {
        switch (socket->Code()) {
            case 10053:  // connection aborted
            case platform::kWsaConnReset:
            case platform::kWsaTimedOut:
            case platform::kWsaConnRefused:
                return true;
            default:
                return false;
        }
    }
    return dynamic_cast<const transfer::EConnClosedGracefully*>(&error) != nullptr;
}

void TUpdateLogic::CreateFolders(int i) {
    for (const std::string& folder : FoldersOf(pathList_[i])) {
        const std::u16string path = LocalFilePath(env_.check.current_dir, folder);
        if (!env_.create_folder(path)) {
            throw platform::EFCreateError("Cannot create folder " +
                                          base::Utf16ToGbkForDisplay(path));
        }
    }
}

std::optional<std::string> TUpdateLogic::Download(int i, TFileWriter& file) {
    for (int attempt = 0;; ++attempt) {
        std::string failure;
        if (attempt > 0) {
            file.Restart();
        }
        try {
            client_.GetToStream(urlList_[i], file.Stream());
            const transfer::THTTPResponse& response = client_.Response();
            if (!response.incomplete) {
                return std::nullopt;
            }
            // A file cut short by the server is never written over a good one.
            failure = IncompleteBodyMessage(response.body_bytes, response.content_length);
        } catch (const std::exception& e) {
            if (!IsPassingFailure(e)) {
                return e.what();
            }
            failure = e.what();
        }
        if (attempt == kRetries) {
            return failure;
        }
        const int pause_ms = kFirstRetryPauseMs << attempt;
        view_.SetFileLabel(kRetryPrefix + std::to_string(pause_ms / 1000) + kRetryMiddle +
                           std::to_string(attempt + 1) + "/" + std::to_string(kRetries) + ")");
        view_.Wait(pause_ms);
    }
}

void TUpdateLogic::Run() {
    const int count = view_.ItemCount();
    TCommitQueue commits;
    // A file in use stops the run with a message; any other failure to
    // write leaves the handler, and the application's exception handling
    // reports it. Either way the old file stays as it was.
    const auto stopped_by_commit = [&](bool finish) {
        try {
            if (finish) {
                commits.Finish();
            } else {
                commits.RethrowFailure();
            }
        } catch (const platform::EFileInUse&) {
            view_.ShowMessage(kInUse + pathList_[commits.FailedTag()], TMessageKind::Error);
            return true;
        }
        return false;
    };
    try {
        for (int i = 0; i < count; ++i) {
            if (stopped_by_commit(false)) {
                return;
            }
            view_.SetItemIndex(i);
            CreateFolders(i);
            const std::u16string path =
                LocalFilePath(env_.check.current_dir, ResolvedPath(pathList_[i]));
            std::unique_ptr<TFileWriter> file = env_.create_file(path);
            THashingWriter* hashed = nullptr;
            if (static_cast<size_t>(i) < hashList_.size() && !hashList_[i].empty()) {
                auto wrapped = std::make_unique<THashingWriter>(std::move(file));
                hashed = wrapped.get();
                file = std::move(wrapped);
            }
            std::optional<std::string> failure = Download(i, *file);
            if (!failure && hashed != nullptr && hashed->HexDigest() != hashList_[i]) {
                failure = kHashMismatch + pathList_[i];
            }
            if (failure) {
                // The files before this one are complete: they are moved in.
                file.reset();
                if (!stopped_by_commit(true)) {
                    view_.ShowMessage(*failure, TMessageKind::Error);
                }
                return;
            }
            view_.SetProgressText(kWritingGauge);
            if (client_.Response().body_bytes >= kFlushBeforeWriteBytes) {
                // A long flush may follow: show its text and the last progress now.
                view_.FlushDisplay();
            }
            const bool is_program = !env_.program_path.empty() && SameFile(path, env_.program_path);
            commits.Add(std::move(file), is_program ? path + u".old" : std::u16string(), i);
        }
    } catch (...) {
        // The files before the failure are complete: they are moved in
        // before the failure goes on to the application's handling.
        try {
            commits.Finish();
        } catch (...) {
        }
        throw;
    }
    if (stopped_by_commit(true)) {
        return;
    }
    view_.SetProgressText(kDoneGauge);
    view_.SetStartCaption(kLaunchCaption);
    finished_ = true;
    view_.ShowMessage(kDone, TMessageKind::Information);
}

void TUpdateLogic::ClosePressed() {
    if (client_.Connected()) {
        client_.Disconnect();
    }
    view_.CloseWindow();
}

void TUpdateLogic::WorkBegin(int32_t expected) {
    view_.SetProgressText(kBeginGauge);
    view_.SetGaugeMax(expected);
    view_.SetGaugeMin(0);
    view_.SetGaugeValue(0);
    workEventCount_ = 0;
}

void TUpdateLogic::Work(int32_t position) {
    if (view_.ItemCount() > 0) {
        const uint32_t now = env_.tick_count();
        if (workEventCount_ == 0) {
            speedStartTick_ = now;
            speedStartBytes_ = position;
        }
        ++workEventCount_;
        // Unsigned subtraction: a wrap of the tick count in between still
        // gives the true difference.
        const uint32_t elapsed = env_.tick_count() - speedStartTick_;
        if (elapsed >= 1000) {
            workEventCount_ = 0;
            view_.SetSpeedLabel(base::KiloBytesText(static_cast<int64_t>(position) -
                                                    static_cast<int64_t>(speedStartBytes_)) +
                                "KB/S");
        }
        view_.SetProgressText(kDownloadingGauge);
        const int index = view_.ItemIndex();
        const std::string path =
            index >= 0 && index < pathList_.Count() ? pathList_[index] : std::string();
        view_.SetFileLabel(kDownload + std::to_string(index + 1) + "/" +
                           std::to_string(view_.ItemCount()) + " " + path + "  " +
                           base::KiloBytesText(position) + "KB of " +
                           base::KiloBytesText(view_.GaugeMax()) + "KB");
    }
    view_.SetGaugeValue(position);
}

void TUpdateLogic::WorkEnd() {
    view_.SetProgressText(kEndGauge);
}

}  // namespace updater
