#pragma once

// What the update window does, apart from its controls: the check when it is
// shown, the run and the launch, the close press, and the progress and speed
// display during transfers. Portable: the window implements TUpdateView over
// its controls and forwards its handlers here; tests drive it with a fake
// view.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/string_list.h"
#include "platform/file_stream.h"
#include "transfer/http_client.h"
#include "updater/file_writing.h"
#include "updater/update_check.h"

namespace updater {

// Kinds of message box.
enum class TMessageKind { Error = 1, Information = 2 };

// The window's controls, as far as the updater uses them.
class TUpdateView {
  public:
    virtual ~TUpdateView() = default;

    // The list of pending updates.
    virtual int ItemCount() const = 0;
    virtual int ItemIndex() const = 0;
    // Selects the item and scrolls it into view (-1: none).
    virtual void SetItemIndex(int index) = 0;
    virtual void ClearItems() = 0;
    virtual void AddItem(const std::string& text) = 0;

    // The gauge; every change repaints it at once.
    virtual void SetProgressText(const std::string& text) = 0;
    virtual void SetGaugeMax(int value) = 0;
    virtual void SetGaugeMin(int value) = 0;
    virtual void SetGaugeValue(int value) = 0;
    virtual int GaugeMax() const = 0;

    // The two labels (repainted at once) and the start / launch button.
    virtual void SetFileLabel(const std::string& text) = 0;
    virtual void SetSpeedLabel(const std::string& text) = 0;
    virtual void SetStartCaption(const std::string& text) = 0;

    // Paints at once what the controls still hold back of their last
    // changes (they pace their repaints during fast transfers); called
    // before a write long enough for a held-back change to be noticed.
    virtual void FlushDisplay() {}
    // Waits `ms` milliseconds before a transfer is tried again, the window
    // still painting and answering as during a transfer.
    virtual void Wait(int ms) = 0;

    // A modal message box with only the Yes button; returns when it closes.
    virtual void ShowMessage(const std::string& text, TMessageKind kind) = 0;
    // Closes the window, which ends the application.
    virtual void CloseWindow() = 0;
};

// What the logic needs of the machine; the defaults are the platform's.
struct TUpdateEnvironment {
    // The first command-line argument (empty when there is none).
    std::string argument;
    // The check's view of the disk and the regional settings; its
    // current_dir is also where files are written and game.exe is started.
    TCheckEnvironment check;
    // The millisecond tick count (wraps at 2^32).
    std::function<uint32_t()> tick_count;
    // Starts a file that will replace the one at a path when committed.
    std::function<std::unique_ptr<TFileWriter>(const std::u16string& path)> create_file =
        OpenReplacingFile;
    // Creates a folder whose parent exists; false when it is no folder
    // afterwards.
    std::function<bool(const std::u16string& path)> create_folder = platform::CreateFolder;
    // The running program's own file: a new version of it is moved in after
    // the running one is moved aside to "<path>.old". Empty: none.
    std::u16string program_path;
    // Starts a program in a folder; the result is ignored.
    std::function<void(const std::u16string& program, const std::u16string& folder)> start_program;
};

class TUpdateLogic {
  public:
    TUpdateLogic(TUpdateView& view, transfer::THTTPClient& client, TUpdateEnvironment env);

    // The window's handlers.
    void FormCreate();
    void FormShow();
    void FormClose();
    void StartPressed();  // bsSkinButton2Click
    void ClosePressed();  // bsSkinButton1Click
    void WorkBegin(int32_t expected);
    void Work(int32_t position);
    void WorkEnd();

    const base::TStringList& UrlList() const { return urlList_; }
    const base::TStringList& PathList() const { return pathList_; }
    bool Finished() const { return finished_; }

    // Transfers that fail on the way (refused, reset, timed out, cut
    // short) are tried again this many times, after a pause that doubles
    // from kFirstRetryPauseMs.
    static constexpr int kRetries = 3;
    static constexpr int kFirstRetryPauseMs = 1000;

  private:
    void Run();
    // Downloads item i into `file`, trying again after a transfer failure
    // that may pass; the message that stops the run when it fails.
    std::optional<std::string> Download(int i, TFileWriter& file);
    // Creates the folders item i needs below the install folder.
    void CreateFolders(int i);

    // After a file at least this large the display is brought up to date
    // before the file is handed to the writer thread, whose flush may hold
    // the end of the run; smaller ones are handed over at once (the next
    // change or the message loop shows what is held back).
    static constexpr int64_t kFlushBeforeWriteBytes = 1 << 20;

    TUpdateView& view_;
    transfer::THTTPClient& client_;
    TUpdateEnvironment env_;

    base::TStringList urlList_;
    base::TStringList pathList_;
    std::vector<std::string> hashList_;  // each file's SHA-256, or empty
    bool finished_ = false;
    int32_t workEventCount_ = 0;
    uint32_t speedStartTick_ = 0;
    int32_t speedStartBytes_ = 0;
};

// The text of the message when a file arrived cut short; `announced` is -1
// when the response gave no size.
std::string IncompleteBodyMessage(int64_t received, int64_t announced);

// Whether a transfer that failed with `error` may succeed when tried again:
// the connection was refused, reset, aborted or timed out, or closed before
// the response was complete. A failure the server answered (404 and the
// like) or a malformed response is not worth another try.
bool IsPassingFailure(const std::exception& error);

}  // namespace updater
