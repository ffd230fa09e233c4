#include "exceptions/options.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "base/exception.h"
#include "base/text.h"
#include "exceptions/scramble.h"

namespace exceptions {

namespace {

// Made on first use, so that options built by static constructors of other
// files find them.
const TCustomizedTexts& MakeDefaultTexts() {
    static const TCustomizedTexts texts = {
        "Information.",
        "Question.",
        "Error.",
        "An error has occurred during program execution.\r\n"
        "Please read the following information for further details.",
        "General",
        "General Information",
        "Call Stack",
        "Call Stack Information",
        "Modules",
        "Modules Information",
        "CPU",  // 10
        "CPU Information",
        "&OK",
        "&Terminate",
        "&Restart",
        "&Details",
        "&Send this error via Email",
        "&Attach a Screenshot image",
        "&Copy to Clipboard",
        "Application",
        "Start Date",  // 20
        "Name/Description",
        "Version Number",
        "Parameters",
        "Exception",
        "Date",
        "Address",
        "Module",
        "Type",
        "Message",
        "Active Controls",  // 30
        "Form Class",
        "Form Text",
        "Control Class",
        "Control Text",
        "Computer",
        "Name",
        "User",
        "Total Memory",
        "Free Memory",
        "Total Disk",  // 40
        "Free Disk",
        "Operating System",
        "Type",
        "Build #",
        "Update",
        "Language",
        "Address",
        "Module",
        "Unit",
        "Class",  // 50
        "Procedure/Method",
        "Line",
        "SMTP.",
        "Message",
        "Resolving MX record...",
        "Connecting with SMTP server...",
        "Connected with SMTP server.",
        "Sending message...",
        "Request",
        "Please describe the steps to reproduce the error:",  // 60
        "&OK",
        "Handle",
        "Name",
        "Description",
        "Version",
        "Size",
        "Path",
        "Registers",
        "Stack",
        "Memory Dump",  // 70
    };
    return texts;
}

// --- This module ---------------------------------------------------------

struct TThisModule {
    std::mutex mutex;
    std::string name;
};

TThisModule& ThisModule() {
    static TThisModule module;
    return module;
}

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// File names compared as Windows compares them for ASCII letters; the second
// byte of a double-byte character is compared as it is.
bool SameFileName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (base::IsGbkPair(a, i)) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1]) {
                return false;
            }
            ++i;
        } else if (UpperAscii(a[i]) != UpperAscii(b[i])) {
            return false;
        }
    }
    return true;
}

// --- File names ----------------------------------------------------------

// Positions in `name` of the last path delimiter ('\\', '/' or the ':' of a
// drive) and of the last '.', npos when there is none; bytes inside
// double-byte characters are never delimiters.
struct NameMarks {
    size_t delimiter = std::string_view::npos;
    size_t dot = std::string_view::npos;
};

NameMarks FindMarks(std::string_view name) {
    NameMarks marks;
    for (size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        if (base::IsGbkPair(name, i)) {
            ++i;
        } else if (c == '\\' || c == '/' || c == ':') {
            marks.delimiter = i;
        } else if (c == '.') {
            marks.dot = i;
        }
    }
    if (marks.dot != std::string_view::npos && marks.delimiter != std::string_view::npos &&
        marks.dot < marks.delimiter) {
        marks.dot = std::string_view::npos;
    }
    return marks;
}

// The folder part with its final delimiter ("" when there is none).
std::string_view FolderOf(std::string_view name) {
    const size_t d = FindMarks(name).delimiter;
    return d == std::string_view::npos ? std::string_view() : name.substr(0, d + 1);
}

std::string_view FileNameOf(std::string_view name) {
    const size_t d = FindMarks(name).delimiter;
    return d == std::string_view::npos ? name : name.substr(d + 1);
}

// The extension with its dot ("" when there is none).
std::string_view ExtensionOf(std::string_view name) {
    const size_t dot = FindMarks(name).dot;
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

std::string WithExtension(std::string_view name, std::string_view extension) {
    const size_t dot = FindMarks(name).dot;
    return std::string(name.substr(0, dot)) + std::string(extension);
}

bool EndsWithDelimiter(std::string_view folder) {
    const NameMarks marks = FindMarks(folder);
    return marks.delimiter != std::string_view::npos && marks.delimiter + 1 == folder.size() &&
           folder.back() != ':';
}

// --- Stream form ---------------------------------------------------------

void WriteU8(base::TStream& stream, uint8_t value) {
    stream.WriteBuffer(&value, 1);
}

void WriteU16(base::TStream& stream, uint16_t value) {
    const unsigned char bytes[2] = {static_cast<unsigned char>(value),
                                    static_cast<unsigned char>(value >> 8)};
    stream.WriteBuffer(bytes, 2);
}

void WriteU32(base::TStream& stream, uint32_t value) {
    const unsigned char bytes[4] = {
        static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
        static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    stream.WriteBuffer(bytes, 4);
}

void WriteBool(base::TStream& stream, bool value) {
    WriteU8(stream, value ? 1 : 0);
}

// A string is stored without a final CR LF when that is its first line break
// (a one-line text that merely ends its line); a text with an earlier line
// break keeps it.
void WriteString(base::TStream& stream, std::string_view value) {
    const size_t first_break = value.find_first_of("\r\n");
    if (value.size() >= 2 && first_break == value.size() - 2 && value.ends_with("\r\n")) {
        value.remove_suffix(2);
    }
    std::string bytes(value);
    Scramble(bytes);
    WriteU32(stream, static_cast<uint32_t>(bytes.size()));
    stream.WriteBuffer(bytes);
}

uint8_t ReadU8(base::TStream& stream) {
    uint8_t value = 0;
    stream.ReadBuffer(&value, 1);
    return value;
}

uint16_t ReadU16(base::TStream& stream) {
    unsigned char bytes[2];
    stream.ReadBuffer(bytes, 2);
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

uint32_t ReadU32(base::TStream& stream) {
    unsigned char bytes[4];
    stream.ReadBuffer(bytes, 4);
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

bool ReadBool(base::TStream& stream) {
    return ReadU8(stream) != 0;
}

// Reads in bounded pieces, so that a damaged length costs no more memory
// than the stream really holds before the read fails.
std::string ReadString(base::TStream& stream) {
    constexpr uint32_t kPiece = 64 * 1024;
    uint32_t left = ReadU32(stream);
    std::string bytes;
    while (left > 0) {
        const uint32_t n = std::min(left, kPiece);
        const size_t at = bytes.size();
        bytes.resize(at + n);
        stream.ReadBuffer(bytes.data() + at, n);
        left -= n;
    }
    Scramble(bytes);
    return bytes;
}

// Which texts a stream of format `version` holds.
bool TextStored(int index, uint16_t version) {
    if (version < 450) {
        const bool absent = (index >= 8 && index <= 11) || (index >= 16 && index <= 18) ||
                            index == 23 || index == 37 || index == 45 || index == 47 ||
                            index == 48 || index > 52;
        if (absent) {
            return false;
        }
    }
    if (version < 420 && index == 15) {
        return false;
    }
    if (version <= 420 && index == 14) {
        return false;
    }
    return true;
}

}  // namespace

const TCustomizedTexts& DefaultTexts() {
    return MakeDefaultTexts();
}

void SetThisModuleName(std::string file_name) {
    TThisModule& module = ThisModule();
    std::lock_guard lock(module.mutex);
    module.name = std::move(file_name);
}

std::string ThisModuleName() {
    TThisModule& module = ThisModule();
    std::lock_guard lock(module.mutex);
    return module.name;
}

bool IsThisModule(std::string_view file_name) {
    if (file_name.empty()) {
        return false;
    }
    TThisModule& module = ThisModule();
    std::lock_guard lock(module.mutex);
    return SameFileName(file_name, module.name);
}

// --- TVivavaModuleOptions ------------------------------------------------

// Holds an update for its lifetime. The change step at its end runs only
// when the scope ends normally: after a failure nothing is published.
class TVivavaModuleOptions::UpdateScope {
  public:
    explicit UpdateScope(TVivavaModuleOptions& options)
        : options_(options), exceptions_(std::uncaught_exceptions()) {
        options_.BeginUpdate();
    }
    UpdateScope(const UpdateScope&) = delete;
    UpdateScope& operator=(const UpdateScope&) = delete;
    ~UpdateScope() noexcept(false) {
        if (std::uncaught_exceptions() > exceptions_) {
            --options_.updateCount_;
        } else {
            options_.EndUpdate();
        }
    }

  private:
    TVivavaModuleOptions& options_;
    int exceptions_;
};

TVivavaModuleOptions::TVivavaModuleOptions(std::string module_name, bool notify_owner)
    : notifyOwner_(notify_owner), moduleName_(std::move(module_name)) {
    filterClasses_.OnChange = [this](base::TStringList&) { Change(); };
    filterMessages_.OnChange = [this](base::TStringList&) { Change(); };
}

TVivavaModuleOptions::~TVivavaModuleOptions() = default;

void TVivavaModuleOptions::SetDefaults() {
    UpdateScope update(*this);
    // Through the setters, so that a descendant sees ReporterActive and
    // FreezeWatch change.
    const TVivavaModuleOptions defaults(std::string(), false);
    CopyFrom(defaults, false);
    SetReporterActive(true);
}

void TVivavaModuleOptions::EndUpdate() {
    --updateCount_;
    Change();
}

void TVivavaModuleOptions::Change() {
    if (updateCount_ <= 0 && notifyOwner_ && IsThisModule(moduleName_)) {
        Changed();
    }
}

void TVivavaModuleOptions::SetReporterActive(bool value) {
    reporterActive_.store(value, std::memory_order_release);
    Change();
}

void TVivavaModuleOptions::SetFreezeWatch(bool value) {
    freezeWatch_.store(value, std::memory_order_release);
    Change();
}

void TVivavaModuleOptions::SetFreezeSeconds(uint32_t value) {
    freezeSeconds_.store(value, std::memory_order_release);
    Change();
}

void TVivavaModuleOptions::SetNotifyOwner(bool value) {
    Store(notifyOwner_, value);
}
void TVivavaModuleOptions::SetModuleName(std::string value) {
    Store(moduleName_, std::move(value));
}
void TVivavaModuleOptions::SetMailSender(std::string value) {
    Store(mailSender_, std::move(value));
}
void TVivavaModuleOptions::SetMailServer(std::string value) {
    Store(mailServer_, std::move(value));
}
void TVivavaModuleOptions::SetMailUser(std::string value) {
    Store(mailUser_, std::move(value));
}
void TVivavaModuleOptions::SetMailPassword(std::string value) {
    Store(mailPassword_, std::move(value));
}
void TVivavaModuleOptions::SetMailPort(uint16_t value) {
    Store(mailPort_, value);
}
void TVivavaModuleOptions::SetQuitRestarts(uint8_t value) {
    Store(quitRestarts_, value);
}
void TVivavaModuleOptions::SetFreezeText(std::string value) {
    Store(freezeText_, std::move(value));
}
void TVivavaModuleOptions::SetFancyLook(bool value) {
    Store(fancyLook_, value);
}
void TVivavaModuleOptions::SetLogFieldMask(uint32_t value) {
    Store(logFieldMask_, value);
}
void TVivavaModuleOptions::SetReservedSwitch(bool value) {
    Store(reservedSwitch_, value);
}
void TVivavaModuleOptions::SetFilterActive(bool value) {
    Store(filterActive_, value);
}
void TVivavaModuleOptions::SetShowReport(bool value) {
    Store(showReport_, value);
}
void TVivavaModuleOptions::SetLogInBody(bool value) {
    Store(logInBody_, value);
}
void TVivavaModuleOptions::SetAttachScreenshot(bool value) {
    Store(attachScreenshot_, value);
}
void TVivavaModuleOptions::SetShowMailProgress(bool value) {
    Store(showMailProgress_, value);
}
void TVivavaModuleOptions::SetShowQuitButton(bool value) {
    Store(showQuitButton_, value);
}
void TVivavaModuleOptions::SetKeepLogFile(bool value) {
    Store(keepLogFile_, value);
}
void TVivavaModuleOptions::SetSendWholeLog(bool value) {
    Store(sendWholeLog_, value);
}
void TVivavaModuleOptions::SetReportFlags(uint8_t value) {
    Store(reportFlags_, value);
}
void TVivavaModuleOptions::SetStartTab(uint8_t value) {
    Store(startTab_, value);
}
void TVivavaModuleOptions::SetLogCapacity(uint32_t value) {
    Store(logCapacity_, std::max<uint32_t>(value, 1));
}
void TVivavaModuleOptions::SetQuitButtonAfter(uint32_t value) {
    Store(quitButtonAfter_, value);
}
void TVivavaModuleOptions::SetLogLocation(std::string value) {
    Store(logLocation_, std::move(value));
}
void TVivavaModuleOptions::SetMailRecipients(std::string value) {
    Store(mailRecipients_, std::move(value));
}
void TVivavaModuleOptions::SetMailSubject(std::string value) {
    Store(mailSubject_, std::move(value));
}
void TVivavaModuleOptions::SetMailBody(std::string value) {
    Store(mailBody_, std::move(value));
}
void TVivavaModuleOptions::SetDeliveryMode(uint8_t value) {
    Store(deliveryMode_, value);
}

const std::string& TVivavaModuleOptions::Texts(int index) const {
    if (index < 0 || index >= kTextCount) {
        throw base::EListError("List index out of bounds (" + std::to_string(index) + ")");
    }
    return texts_[static_cast<size_t>(index)];
}

void TVivavaModuleOptions::SetTexts(int index, std::string text) {
    if (index < 0 || index >= kTextCount) {
        throw base::EListError("List index out of bounds (" + std::to_string(index) + ")");
    }
    Store(texts_[static_cast<size_t>(index)], std::move(text));
}

void TVivavaModuleOptions::Assign(const TVivavaModuleOptions* source) {
    if (source == nullptr) {
        throw base::EConvertError("Impossible to assign nil as TVivavaModuleOptions.");
    }
    if (source == this) {
        return;
    }
    UpdateScope update(*this);
    CopyFrom(*source, true);
}

void TVivavaModuleOptions::CopyFrom(const TVivavaModuleOptions& source, bool with_lists) {
    if (with_lists) {
        filterClasses_.Assign(source.filterClasses_);
        filterMessages_.Assign(source.filterMessages_);
    }
    for (int i = 0; i < kTextCount; ++i) {
        SetTexts(i, source.texts_[static_cast<size_t>(i)]);
    }
    SetMailSender(source.mailSender_);
    SetMailServer(source.mailServer_);
    SetMailUser(source.mailUser_);
    SetMailPassword(source.mailPassword_);
    SetMailPort(source.mailPort_);
    SetQuitRestarts(source.quitRestarts_);
    SetFreezeWatch(source.FreezeWatch());
    SetFreezeSeconds(source.FreezeSeconds());
    SetFreezeText(source.freezeText_);
    SetFancyLook(source.fancyLook_);
    SetLogFieldMask(source.logFieldMask_);
    SetReservedSwitch(source.reservedSwitch_);
    SetFilterActive(source.filterActive_);
    SetShowReport(source.showReport_);
    SetLogInBody(source.logInBody_);
    SetAttachScreenshot(source.attachScreenshot_);
    SetShowMailProgress(source.showMailProgress_);
    SetShowQuitButton(source.showQuitButton_);
    SetKeepLogFile(source.keepLogFile_);
    SetSendWholeLog(source.sendWholeLog_);
    SetReportFlags(source.reportFlags_);
    SetStartTab(source.startTab_);
    SetLogCapacity(source.logCapacity_);
    SetQuitButtonAfter(source.quitButtonAfter_);
    SetLogLocation(source.logLocation_);
    SetMailRecipients(source.mailRecipients_);
    SetMailSubject(source.mailSubject_);
    SetMailBody(source.mailBody_);
    SetDeliveryMode(source.deliveryMode_);
}

void TVivavaModuleOptions::SaveToStream(base::TStream& stream) const {
    WriteBool(stream, reservedSwitch_);
    WriteBool(stream, filterActive_);
    WriteU8(stream, reportFlags_);
    WriteBool(stream, showReport_);
    WriteBool(stream, logInBody_);
    WriteBool(stream, sendWholeLog_);
    WriteBool(stream, attachScreenshot_);
    WriteBool(stream, showMailProgress_);
    WriteBool(stream, keepLogFile_);
    WriteU8(stream, startTab_);
    WriteBool(stream, fancyLook_);
    WriteBool(stream, FreezeWatch());

    WriteU32(stream, FreezeSeconds());
    WriteString(stream, freezeText_);
    WriteString(stream, mailSender_);
    WriteString(stream, mailServer_);
    WriteU16(stream, mailPort_);
    WriteString(stream, mailUser_);
    WriteString(stream, mailPassword_);

    WriteU8(stream, quitRestarts_);
    WriteBool(stream, showQuitButton_);
    WriteU32(stream, logCapacity_);
    WriteU32(stream, quitButtonAfter_);
    WriteString(stream, mailRecipients_);
    WriteString(stream, mailSubject_);
    WriteU8(stream, deliveryMode_);
    WriteU32(stream, logFieldMask_);
    WriteString(stream, logLocation_);

    const int pairs = std::max(filterClasses_.Count(), filterMessages_.Count());
    WriteU32(stream, static_cast<uint32_t>(pairs));
    for (int i = 0; i < pairs; ++i) {
        WriteString(stream, i < filterClasses_.Count() ? filterClasses_[i] : std::string());
        WriteString(stream, i < filterMessages_.Count() ? filterMessages_[i] : std::string());
    }

    WriteString(stream, mailBody_);

    for (const std::string& text : texts_) {
        WriteString(stream, text);
    }
}

std::string TVivavaModuleOptions::SaveToString() const {
    base::TMemoryStream stream;
    SaveToStream(stream);
    return stream.ToString();
}

void TVivavaModuleOptions::LoadFromStream(base::TStream& stream, uint16_t version) {
    // Read into a copy first: a damaged stream changes nothing here.
    TVivavaModuleOptions loaded(std::string(), false);
    loaded.CopyFrom(*this, false);
    loaded.ReadFields(stream, version);
    UpdateScope update(*this);
    CopyFrom(loaded, true);
}

void TVivavaModuleOptions::ReadFields(base::TStream& stream, uint16_t version) {
    const bool v450 = version >= 450;

    reservedSwitch_ = ReadBool(stream);
    filterActive_ = ReadBool(stream);
    reportFlags_ = ReadU8(stream);
    showReport_ = ReadBool(stream);
    if (!v450) {
        // Older formats stored the opposite switch.
        showReport_ = !showReport_;
    }
    logInBody_ = ReadBool(stream);
    if (v450) {
        sendWholeLog_ = ReadBool(stream);
        attachScreenshot_ = ReadBool(stream);
        showMailProgress_ = ReadBool(stream);
    }
    if (version > 400) {
        keepLogFile_ = ReadBool(stream);
        startTab_ = ReadU8(stream);
    }
    if (version > 402) {
        fancyLook_ = ReadBool(stream);
    }
    if (version >= 420) {
        freezeWatch_ = ReadBool(stream);
        const uint32_t seconds = ReadU32(stream);
        freezeSeconds_ = version < 422 ? seconds / 1000 : seconds;
        freezeText_ = ReadString(stream);
    }
    if (v450) {
        mailSender_ = ReadString(stream);
    }
    if (version >= 420) {
        mailServer_ = ReadString(stream);
    }
    if (v450) {
        mailPort_ = ReadU16(stream);
    }
    if (version > 420) {
        mailUser_ = ReadString(stream);
        mailPassword_ = ReadString(stream);
        quitRestarts_ = ReadU8(stream);
    }

    showQuitButton_ = ReadBool(stream);
    logCapacity_ = ReadU32(stream);
    quitButtonAfter_ = ReadU32(stream);
    mailRecipients_ = ReadString(stream);
    mailSubject_ = ReadString(stream);
    deliveryMode_ = ReadU8(stream);
    if (!v450 && deliveryMode_ != kDeliveryNone) {
        // Older formats had one switch for mailing; a server meant SMTP.
        deliveryMode_ = mailServer_.empty() ? kDeliveryMailClient : kDeliverySmtpServer;
    }
    logFieldMask_ = ReadU32(stream);
    if (!v450) {
        ReadU8(stream);
    }
    logLocation_ = ReadString(stream);

    filterClasses_.Clear();
    filterMessages_.Clear();
    for (uint32_t pairs = ReadU32(stream); pairs > 0; --pairs) {
        filterClasses_.Add(ReadString(stream));
        filterMessages_.Add(ReadString(stream));
    }

    mailBody_ = ReadString(stream);

    for (int i = 0; i < kTextCount; ++i) {
        if (TextStored(i, version)) {
            texts_[static_cast<size_t>(i)] = ReadString(stream);
        }
    }
}

std::string TVivavaModuleOptions::OutputFile(std::string_view file_name) const {
    if (SameFileName(ExtensionOf(logLocation_), ".clg")) {
        return logLocation_;
    }
    std::string folder(logLocation_.empty() ? FolderOf(file_name) : logLocation_);
    // A name without a folder stays relative: no delimiter is put before it.
    if (!folder.empty() && !EndsWithDelimiter(folder)) {
        folder += '\\';
    }
    return folder + std::string(FileNameOf(file_name));
}

std::string TVivavaModuleOptions::OutputLogFile() const {
    return OutputFile(WithExtension(moduleName_, ".clg"));
}

// --- TVivavaModuleOptionsEx ------------------------------------------------

bool TVivavaModuleOptionsEx::IsOwnOptions() const {
    return NotifyOwner() && IsThisModule(ModuleName());
}

std::string TVivavaModuleOptionsEx::ModuleBlock() const {
    return '\x01' + SaveToString();
}

void TVivavaModuleOptionsEx::Changed() {
    std::lock_guard lock(mutex_);
    if (!OnWriteModuleBlock) {
        return;
    }
    std::string block = ModuleBlock();
    if (published_ && block == publishedBlock_) {
        return;
    }
    std::swap(publishedBlock_, block);
    const bool was_published = published_;
    published_ = true;
    try {
        OnWriteModuleBlock(publishedBlock_);
    } catch (...) {
        // Not published after all: the next change tries again.
        std::swap(publishedBlock_, block);
        published_ = was_published;
        throw;
    }
}

void TVivavaModuleOptionsEx::SetReporterActive(bool value) {
    std::lock_guard lock(mutex_);
    const bool changed = value != ReporterActive();
    TVivavaModuleOptions::SetReporterActive(value);
    if (changed && IsOwnOptions()) {
        FollowWatchdog();
    }
}

void TVivavaModuleOptionsEx::SetFreezeWatch(bool value) {
    std::lock_guard lock(mutex_);
    const bool changed = value != FreezeWatch();
    TVivavaModuleOptions::SetFreezeWatch(value);
    if (changed && IsOwnOptions()) {
        FollowWatchdog();
    }
}

void TVivavaModuleOptionsEx::SyncWatchdog() {
    std::lock_guard lock(mutex_);
    if (IsOwnOptions()) {
        FollowWatchdog();
    }
}

void TVivavaModuleOptionsEx::FollowWatchdog() {
    const bool run = ReporterActive() && FreezeWatch();
    if (!OnWatchdog || run == watchdogRunning_) {
        return;
    }
    // Recorded first: a hook that sets the options again sees the state it
    // is bringing about.
    watchdogRunning_ = run;
    try {
        OnWatchdog(run);
    } catch (...) {
        watchdogRunning_ = !run;
        throw;
    }
}

}  // namespace exceptions
