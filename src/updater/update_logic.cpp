#include "updater/update_logic.h"

#include <exception>
#include <utility>

#include "base/exception.h"
#include "base/rounding.h"
#include "base/streams.h"
#include "base/text.h"

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
    finished_ = false;
}

void TUpdateLogic::FormClose() {
    urlList_.Clear();
    pathList_.Clear();
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

void TUpdateLogic::Run() {
    const int count = view_.ItemCount();
    for (int i = 0; i < count; ++i) {
        view_.SetItemIndex(i);
        base::TMemoryStream buffer;
        try {
            client_.Get(urlList_[i], buffer);
        } catch (const std::exception& e) {
            view_.ShowMessage(e.what(), TMessageKind::Error);
            return;
        }
        const transfer::THTTPResponse& response = client_.Response();
        if (response.incomplete) {
            // A file cut short by the server is never written over a good one.
            view_.ShowMessage(IncompleteBodyMessage(response.body_bytes, response.content_length),
                              TMessageKind::Error);
            return;
        }
        view_.SetProgressText(kWritingGauge);
        if (buffer.Size() >= kFlushBeforeWriteBytes) {
            // A long write follows: show its text and the last progress now.
            view_.FlushDisplay();
        }
        // A failed write leaves the handler: the application's exception
        // handling reports it, and the old file stays as it was.
        env_.write_file(LocalFilePath(env_.check.current_dir, pathList_[i]), buffer.View());
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
