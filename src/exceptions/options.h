#pragma once

// The reporting options of one module: which reports are made and what they
// hold, where the log goes, how mail is delivered, whether the freeze
// watchdog runs, and the 71 texts of the report windows and log labels.
//
// Each module that carries the reporter stores its options in its CLDATA
// block (crash_data.h) in the stream form written by SaveToStream. The
// reporter keeps one options object per module record (created with
// notification on) and one current object that each report overwrites with
// Assign. At run time the objects are TVivavaModuleOptionsEx, whose
// notifications reach the capture code through hooks.
//
// The objects are not synchronised: one thread changes an object at a time.
// ReporterActive and FreezeWatch, which the watchdog polls from its own
// thread, may be read from any thread.

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "base/streams.h"
#include "base/string_list.h"

namespace exceptions {

// The format version of the options stream this code writes.
constexpr uint16_t kOptionsVersion = 454;

constexpr int kTextCount = 71;
using TCustomizedTexts = std::array<std::string, kTextCount>;

// The default texts, by index.
const TCustomizedTexts& DefaultTexts();

// The placeholder sender address and the freeze message the options start
// with.
inline constexpr char kDefaultMailSender[] = "crashlore@example.com";
inline constexpr char kDefaultFreezeText[] = "The application seems to be frozen.";

// Values of DeliveryMode.
enum : uint8_t {
    kDeliveryNone = 0,
    kDeliveryMailClient = 1,
    kDeliverySmtpServer = 2,
    kDeliverySmtpDirect = 3,
};

// Bits of ReportFlags.
enum : uint8_t {
    kReportSkipDuplicates = 0x01,
    kReportAskSteps = 0x02,
};

// The file name of the module that runs this code (the executable that
// carries the reporter), set once when the reporter installs. Only the
// options whose ModuleName names this module publish their changes.
void SetThisModuleName(std::string file_name);
std::string ThisModuleName();
// True when `file_name` names this module: equal to ThisModuleName() with
// ASCII letters compared case-insensitively (file names on Windows are; the
// second byte of a double-byte character is compared as it is). An empty
// name never matches.
bool IsThisModule(std::string_view file_name);

class TVivavaModuleOptions {
  public:
    // The options with their defaults, empty filter lists, and the given
    // ModuleName and NotifyOwner.
    TVivavaModuleOptions(std::string module_name, bool notify_owner);
    TVivavaModuleOptions(const TVivavaModuleOptions&) = delete;
    TVivavaModuleOptions& operator=(const TVivavaModuleOptions&) = delete;
    virtual ~TVivavaModuleOptions();

  protected:
    // The changed-notification: runs after a change when the options publish
    // their changes (see Change). Does nothing here.
    virtual void Changed() {}

  public:
    // ReporterActive: reporting on. Neither copied by Assign nor stored.
    bool ReporterActive() const { return reporterActive_.load(std::memory_order_acquire); }
    virtual void SetReporterActive(bool value);
    // FreezeWatch: the freeze watchdog on.
    bool FreezeWatch() const { return freezeWatch_.load(std::memory_order_acquire); }
    virtual void SetFreezeWatch(bool value);

    // Copies everything but ReporterActive, ModuleName and NotifyOwner, each
    // option through its setter, as one change. A null source raises
    // base::EConvertError; assigning an object to itself does nothing.
    virtual void Assign(const TVivavaModuleOptions* source);
    void Assign(const TVivavaModuleOptions& source) { Assign(&source); }

    // Every option back to its default, as one change; ModuleName,
    // NotifyOwner and the filter lists stay as they are.
    virtual void SetDefaults();

    // The stored fields in their stream form (kOptionsVersion).
    virtual void SaveToStream(base::TStream& stream) const;
    // Reads the stream form of format `version` (older formats lack some
    // fields: those keep their values). The filter lists are replaced. The
    // whole stream is read before anything changes: a stream that ends
    // early raises base::EReadError and leaves the object as it was.
    virtual void LoadFromStream(base::TStream& stream, uint16_t version = kOptionsVersion);
    // SaveToStream into a string.
    std::string SaveToString() const;

    // Changes between BeginUpdate and the matching EndUpdate publish nothing;
    // EndUpdate runs the change step.
    void BeginUpdate() { ++updateCount_; }
    void EndUpdate();
    int UpdateCount() const { return updateCount_; }

    bool NotifyOwner() const { return notifyOwner_; }
    void SetNotifyOwner(bool value);
    const std::string& ModuleName() const { return moduleName_; }
    void SetModuleName(std::string value);

    const std::string& MailSender() const { return mailSender_; }
    void SetMailSender(std::string value);
    const std::string& MailServer() const { return mailServer_; }
    void SetMailServer(std::string value);
    const std::string& MailUser() const { return mailUser_; }
    void SetMailUser(std::string value);
    const std::string& MailPassword() const { return mailPassword_; }
    void SetMailPassword(std::string value);
    uint16_t MailPort() const { return mailPort_; }
    void SetMailPort(uint16_t value);
    // 1: the quit button restarts the program, 0: it terminates it.
    uint8_t QuitRestarts() const { return quitRestarts_; }
    void SetQuitRestarts(uint8_t value);
    uint32_t FreezeSeconds() const { return freezeSeconds_.load(std::memory_order_acquire); }
    void SetFreezeSeconds(uint32_t value);
    const std::string& FreezeText() const { return freezeText_; }
    void SetFreezeText(std::string value);
    bool FancyLook() const { return fancyLook_; }
    void SetFancyLook(bool value);
    uint32_t LogFieldMask() const { return logFieldMask_; }
    void SetLogFieldMask(uint32_t value);
    bool ReservedSwitch() const { return reservedSwitch_; }
    void SetReservedSwitch(bool value);
    bool FilterActive() const { return filterActive_; }
    void SetFilterActive(bool value);
    bool ShowReport() const { return showReport_; }
    void SetShowReport(bool value);
    bool LogInBody() const { return logInBody_; }
    void SetLogInBody(bool value);
    bool AttachScreenshot() const { return attachScreenshot_; }
    void SetAttachScreenshot(bool value);
    bool ShowMailProgress() const { return showMailProgress_; }
    void SetShowMailProgress(bool value);
    bool ShowQuitButton() const { return showQuitButton_; }
    void SetShowQuitButton(bool value);
    bool KeepLogFile() const { return keepLogFile_; }
    void SetKeepLogFile(bool value);
    bool SendWholeLog() const { return sendWholeLog_; }
    void SetSendWholeLog(bool value);
    // kReportSkipDuplicates, kReportAskSteps.
    uint8_t ReportFlags() const { return reportFlags_; }
    void SetReportFlags(uint8_t value);
    uint8_t StartTab() const { return startTab_; }
    void SetStartTab(uint8_t value);
    // Items kept in the log file; 0 stores 1.
    uint32_t LogCapacity() const { return logCapacity_; }
    void SetLogCapacity(uint32_t value);
    uint32_t QuitButtonAfter() const { return quitButtonAfter_; }
    void SetQuitButtonAfter(uint32_t value);
    const std::string& LogLocation() const { return logLocation_; }
    void SetLogLocation(std::string value);
    const std::string& MailRecipients() const { return mailRecipients_; }
    void SetMailRecipients(std::string value);
    const std::string& MailSubject() const { return mailSubject_; }
    void SetMailSubject(std::string value);
    const std::string& MailBody() const { return mailBody_; }
    void SetMailBody(std::string value);
    uint8_t DeliveryMode() const { return deliveryMode_; }
    void SetDeliveryMode(uint8_t value);

    // The texts; an index outside 0..70 raises base::EListError.
    const std::string& Texts(int index) const;
    void SetTexts(int index, std::string text);

    // Exception class names that are not reported, and the messages shown
    // instead (parallel to the classes). Changing a list is a change of the
    // options.
    base::TStringList& FilterClasses() { return filterClasses_; }
    const base::TStringList& FilterClasses() const { return filterClasses_; }
    base::TStringList& FilterMessages() { return filterMessages_; }
    const base::TStringList& FilterMessages() const { return filterMessages_; }

    // Where a log file for the module file `file_name` goes: LogLocation
    // itself when its extension is ".clg" (any case); otherwise the file
    // name part of `file_name` in the folder LogLocation, or, when that is
    // empty, in the folder of `file_name`.
    std::string OutputFile(std::string_view file_name) const;
    // OutputFile of ModuleName with the extension ".clg".
    std::string OutputLogFile() const;

  protected:
    // The change step: outside an update, with NotifyOwner set and
    // ModuleName naming this module, runs Changed.
    void Change();

  private:
    class UpdateScope;

    // Copies the texts and every option but ReporterActive, ModuleName and
    // NotifyOwner through the setters, and the filter lists when asked; the
    // caller holds an update.
    void CopyFrom(const TVivavaModuleOptions& source, bool with_lists);
    // Reads the stream into this object's members, without setters.
    void ReadFields(base::TStream& stream, uint16_t version);

    template <typename T>
    void Store(T& field, T value) {
        field = std::move(value);
        Change();
    }

    bool notifyOwner_;
    int updateCount_ = 0;
    std::string moduleName_;
    std::string mailSender_ = kDefaultMailSender;
    std::string mailServer_;
    std::string mailUser_;
    std::string mailPassword_;
    uint16_t mailPort_ = 25;
    uint8_t quitRestarts_ = 1;
    std::atomic<bool> freezeWatch_{false};
    std::atomic<uint32_t> freezeSeconds_{60};
    std::string freezeText_ = kDefaultFreezeText;
    bool fancyLook_ = true;
    uint32_t logFieldMask_ = 0xFFFFFFFFu;
    base::TStringList filterClasses_;
    base::TStringList filterMessages_;
    TCustomizedTexts texts_ = DefaultTexts();
    bool reservedSwitch_ = true;
    bool filterActive_ = true;
    bool showReport_ = true;
    bool logInBody_ = false;
    bool attachScreenshot_ = false;
    bool showMailProgress_ = true;
    bool showQuitButton_ = true;
    bool keepLogFile_ = true;
    bool sendWholeLog_ = false;
    uint8_t reportFlags_ = 0;
    uint8_t startTab_ = 0;
    uint32_t logCapacity_ = 32;
    uint32_t quitButtonAfter_ = 3;
    std::string logLocation_;
    std::string mailRecipients_;
    std::string mailSubject_;
    std::string mailBody_;
    uint8_t deliveryMode_ = 0;
    std::atomic<bool> reporterActive_{true};
};

// The options as the running reporter keeps them. For this module's own
// options (NotifyOwner set, ModuleName naming this module) every change is
// published through OnWriteModuleBlock, and the watchdog follows
// ReporterActive and FreezeWatch through OnWatchdog. Both hooks run only when
// something changed, one at a time, and in the order of the changes, also
// when several threads set the options; they may set these options again
// (on the same thread).
class TVivavaModuleOptionsEx : public TVivavaModuleOptions {
  public:
    using TVivavaModuleOptions::TVivavaModuleOptions;

    // Receives the module's MODULE block: the byte 1, then the options
    // stream. Called when the stream differs from the one last published.
    std::function<void(std::string_view block)> OnWriteModuleBlock;
    // Starts (true) or stops (false) the watchdog. Called when the wanted
    // state (ReporterActive and FreezeWatch both on) differs from the state
    // it was last told (at first: stopped).
    std::function<void(bool run)> OnWatchdog;

    void SetReporterActive(bool value) override;
    void SetFreezeWatch(bool value) override;

    // True for this module's own options: those publish and steer the
    // watchdog.
    bool IsOwnOptions() const;
    // The MODULE block of the options as they are now.
    std::string ModuleBlock() const;
    // Tells OnWatchdog the wanted state when it differs from the one it was
    // last told (for own options only): for the reporter's start, after the
    // hook is installed.
    void SyncWatchdog();

  protected:
    void Changed() override;

  private:
    void FollowWatchdog();

    std::recursive_mutex mutex_;
    std::string publishedBlock_;
    bool published_ = false;
    bool watchdogRunning_ = false;
};

}  // namespace exceptions
