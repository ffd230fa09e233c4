// Handing a report to the user's mail program. A fake Simple MAPI provider
// (fake_mapi.dll, and fake_mapi_partial.dll without MAPIFreeBuffer) is
// registered as the default mail client and writes down every call it gets;
// a stub mail program (mailto_stub.exe) is registered as the mailto command
// and writes down its command line. Every registry value the tests change
// is put back afterwards.

#include "exceptions/win32/mail_client.h"
#include "exceptions/win32/mail_sending.h"

#include <windows.h>

#include <gtest/gtest.h>
#include <shellapi.h>

#include <algorithm>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "base/text.h"
#include "exceptions/mailto.h"
#include "framework/graphics.h"

namespace exceptions {
namespace {

constexpr DWORD kRecordWaitMs = 20000;

std::wstring ExeFolder() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\'));
}

// A folder of its own under the test output, emptied first, named with
// backslashes only (as a full path is).
std::wstring Folder(const std::wstring& name) {
    const std::wstring output = framework::WideText(UPDATER_TEST_OUTPUT);
    CreateDirectoryW(output.c_str(), nullptr);
    CreateDirectoryW((output + L"\\exceptions").c_str(), nullptr);
    std::wstring folder = output + L"\\exceptions\\" + name;
    std::replace(folder.begin(), folder.end(), L'/', L'\\');
    CreateDirectoryW(folder.c_str(), nullptr);
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            DeleteFileW((folder + L"\\" + found.cFileName).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    return folder;
}

void WriteBytes(const std::wstring& path, std::string_view bytes) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

// The lines of a file ("\n" ends each); none when it does not exist.
std::vector<std::string> Lines(const std::wstring& path) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return {};
    }
    std::string bytes(1 << 16, '\0');
    DWORD read = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    bytes.resize(read);
    std::vector<std::string> lines;
    std::istringstream stream(bytes);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The lines of `path` once it has at least `count`, or what it has after
// kRecordWaitMs.
std::vector<std::string> AwaitLines(const std::wstring& path, size_t count) {
    const DWORD start = GetTickCount();
    std::vector<std::string> lines = Lines(path);
    while (lines.size() < count && GetTickCount() - start < kRecordWaitMs) {
        Sleep(50);
        lines = Lines(path);
    }
    return lines;
}

void SetRegistryText(HKEY root, const std::wstring& key, const wchar_t* name,
                     const std::wstring& value, DWORD type = REG_SZ) {
    HKEY opened = nullptr;
    ASSERT_EQ(
        RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr),
        ERROR_SUCCESS);
    const LSTATUS status =
        RegSetValueExW(opened, name, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(opened);
    ASSERT_EQ(status, ERROR_SUCCESS);
}

std::optional<std::wstring> RegistryText(HKEY root, const std::wstring& key, const wchar_t* name) {
    wchar_t value[1024];
    DWORD bytes = sizeof value;
    if (RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                     nullptr, value, &bytes) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::wstring(value);
}

// Puts one registry value back as it was when this was made: its type and
// data, or its absence; keys made since, from the first one that was
// missing, are deleted.
class TSavedRegistryValue {
  public:
    TSavedRegistryValue(HKEY root, std::wstring key, const wchar_t* name)
        : root_(root), key_(std::move(key)), name_(name ? name : L"") {
        for (size_t end = 0; end != std::wstring::npos;) {
            end = key_.find(L'\\', end + 1);
            const std::wstring part = key_.substr(0, end);
            HKEY opened = nullptr;
            if (RegOpenKeyExW(root_, part.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) {
                missing_ = part;
                return;
            }
            RegCloseKey(opened);
        }
        DWORD bytes = 0;
        if (RegGetValueW(root_, key_.c_str(), name_.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type_,
                         nullptr, &bytes) == ERROR_SUCCESS) {
            data_.resize(bytes);
            had_value_ = RegGetValueW(root_, key_.c_str(), name_.c_str(), RRF_RT_ANY | RRF_NOEXPAND,
                                      &type_, data_.data(), &bytes) == ERROR_SUCCESS;
            data_.resize(bytes);
        }
    }
    ~TSavedRegistryValue() {
        if (!missing_.empty()) {
            RegDeleteTreeW(root_, missing_.c_str());
        } else if (had_value_) {
            RegSetKeyValueW(root_, key_.c_str(), name_.c_str(), type_, data_.data(),
                            static_cast<DWORD>(data_.size()));
        } else {
            RegDeleteKeyValueW(root_, key_.c_str(), name_.c_str());
        }
    }
    TSavedRegistryValue(const TSavedRegistryValue&) = delete;
    TSavedRegistryValue& operator=(const TSavedRegistryValue&) = delete;

  private:
    HKEY root_;
    std::wstring key_;
    std::wstring name_;
    std::wstring missing_;
    bool had_value_ = false;
    DWORD type_ = REG_NONE;
    std::string data_;
};

TReporterTrace NewTrace() {
    return TReporterTrace([] { return base::DateTimeFields{}; },
                          [](std::string_view) { return true; });
}

// The default mail client is "FakeMail" with the library the test chooses.
class MailClientTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(GetACP(), 936u) << "the expected texts are the system's ANSI code page";
        SetEnvironmentVariableW(L"FAKE_MAPI_RECORD", record_.c_str());
        SetEnvironmentVariableW(L"FAKE_MAPI_DIR", ExeFolder().c_str());
        SetRegistryText(HKEY_LOCAL_MACHINE, kClients, nullptr, L"FakeMail");
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"FAKE_MAPI_RECORD", nullptr);
        SetEnvironmentVariableW(L"FAKE_MAPI_DIR", nullptr);
        SetEnvironmentVariableW(L"FAKE_MAPI_FAIL", nullptr);
    }

    void UseLibrary(const std::wstring& path, DWORD type = REG_SZ) {
        SetRegistryText(HKEY_LOCAL_MACHINE, kClients + std::wstring(L"\\FakeMail"), L"DLLPath",
                        path, type);
    }

    static constexpr const wchar_t* kClients = L"SOFTWARE\\Clients\\Mail";
    TSavedRegistryValue client_{HKEY_LOCAL_MACHINE, kClients, nullptr};
    TSavedRegistryValue library_{HKEY_LOCAL_MACHINE, L"SOFTWARE\\Clients\\Mail\\FakeMail",
                                 L"DLLPath"};
    std::wstring folder_ = Folder(L"mail_client");
    std::wstring record_ = folder_ + L"\\record.txt";
    TReporterTrace trace_ = NewTrace();
};

TEST_F(MailClientTest, SendsThroughTheDefaultClient) {
    UseLibrary(L"%FAKE_MAPI_DIR%\\fake_mapi.dll", REG_EXPAND_SZ);
    const std::wstring log = folder_ + L"\\错误日志.txt";
    const std::wstring screenshot = folder_ + L"\\Screenshot.png";
    WriteBytes(log, "log");
    WriteBytes(screenshot, "png");
    const std::vector<std::u16string> attachments = {
        std::u16string(log.begin(), log.end()),
        u"",
        std::u16string(screenshot.begin(), screenshot.end()),
        std::u16string(folder_.begin(), folder_.end()) + u"\\missing.txt",
    };

    EXPECT_TRUE(SendByMailClient(trace_, {"ann@example.org", "", "noaddr-bob", "李雷"},
                                 "报告 Crash", "Line 1\r\nLine 2", attachments));

    const std::string folder = framework::GbkText(folder_);
    const std::vector<std::string> expected = {
        "attach",
        "logon ui=0 profile=null password=null flags=1 reserved=0",
        "resolve session=77 ui=0 name=ann@example.org flags=0 reserved=0",
        "free",
        "resolve session=77 ui=0 name=noaddr-bob flags=0 reserved=0",
        "free",
        "resolve session=77 ui=0 name=李雷 flags=0 reserved=0",
        "free",
        "send session=77 ui=0 flags=1 reserved=0",
        "subject=报告 Crash",
        "note=Line 1\\r\\nLine 2",
        "type=null flags=0 originator=null recipients=3 set files=2 set",
        "recipient class=1 name=Name of ann@example.org address=SMTP:ann@example.org entry=0",
        "recipient class=1 name=Name of noaddr-bob address=Name of noaddr-bob entry=0",
        "recipient class=1 name=Name of 李雷 address=SMTP:李雷 entry=0",
        "file reserved=0 flags=0 position=4294967295 type=null",
        "  path=" + folder + "\\错误日志.txt",
        "  name=错误日志.txt",
        "file reserved=0 flags=0 position=4294967295 type=null",
        "  path=" + folder + "\\Screenshot.png",
        "  name=Screenshot.png",
        "logoff session=77 ui=0 flags=0 reserved=0 outstanding=0",
        "detach",
    };
    EXPECT_EQ(Lines(record_), expected);
    EXPECT_EQ(GetModuleHandleW(L"fake_mapi.dll"), nullptr);
    EXPECT_EQ(trace_.LastError(), TReporterTrace::TLastError{});
}

// A report mailed by the mail client: the log text goes as a file named
// like the log, beside the screenshot in the report's own folder, which is
// gone when the report is done.
TEST_F(MailClientTest, AReportGoesWithItsLogUnderTheLogsNameAndLeavesNoFile) {
    UseLibrary(ExeFolder() + L"\\fake_mapi.dll");
    TVivavaModuleOptions options("mail", false);
    options.SetDeliveryMode(kDeliveryMailClient);
    options.SetMailRecipients("ann@example.org;");
    options.SetMailBody("Body");
    std::u16string folder;
    {
        TReportFiles files;
        TReportMail mail;
        mail.options = &options;
        mail.text = "The report.";
        mail.log_name = u"updater.clg";
        mail.screenshot = files.Write(u"Screenshot.png", "png");
        ASSERT_TRUE(mail.screenshot);
        folder = mail.screenshot->substr(0, mail.screenshot->rfind(u'\\') + 1);
        mail.files = &files;
        EXPECT_TRUE(SendReportMail(mail));
    }
    const std::vector<std::string> lines = Lines(record_);
    const std::string path = "  path=" + base::Utf16ToGbkForDisplay(folder);
    for (const std::string& line : {std::string("note=Body"), path + "updater.clg",
                                    std::string("  name=updater.clg"), path + "Screenshot.png"}) {
        EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;
    }
    EXPECT_NE(folder.find(u"Crashlore-"), std::u16string::npos);
    EXPECT_EQ(GetFileAttributesW(reinterpret_cast<const wchar_t*>(folder.c_str())),
              INVALID_FILE_ATTRIBUTES);
}

// A Thai letter has no place in code page 936: the file goes by its short
// path, which names the same file.
TEST_F(MailClientTest, AFileTheCodePageCannotNameGoesByItsShortPath) {
    UseLibrary(ExeFolder() + L"\\fake_mapi.dll");
    const std::wstring file = folder_ + L"\\\u0E01 long name.txt";
    WriteBytes(file, "thai");

    EXPECT_TRUE(
        SendByMailClient(trace_, {"a"}, "S", "B", {std::u16string(file.begin(), file.end())}));

    std::string path;
    std::string name;
    for (const std::string& line : Lines(record_)) {
        if (line.rfind("  path=", 0) == 0) {
            path = line.substr(7);
        } else if (line.rfind("  name=", 0) == 0) {
            name = line.substr(7);
        }
    }
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.find('?'), std::string::npos) << path;
    EXPECT_EQ(name, path.substr(path.rfind('\\') + 1));
    const HANDLE opened = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(opened, INVALID_HANDLE_VALUE) << path;
    char bytes[16] = {};
    DWORD read = 0;
    ReadFile(opened, bytes, sizeof bytes, &read, nullptr);
    CloseHandle(opened);
    EXPECT_EQ(std::string(bytes, read), "thai");
}

// Each failure stops at its step, gives its text, and still logs off when
// it had logged on and unloads the library.
TEST_F(MailClientTest, FailuresAreRecordedAndTheLibraryUnloaded) {
    struct Case {
        const wchar_t* library;
        const wchar_t* fail;
        std::vector<std::string> recipients;
        const char* warning;
        std::vector<std::string> calls;  // the first word of each line
    };
    const Case cases[] = {
        {L"fake_mapi_partial.dll", nullptr, {"a"}, kMapiFunctionsError, {"attach", "detach"}},
        {L"fake_mapi.dll", L"logon", {"a"}, kMapiLogOnError, {"attach", "logon", "detach"}},
        {L"fake_mapi.dll",
         nullptr,
         {"a", "unknown-x", "b"},
         kMapiSendError,
         {"attach", "logon", "resolve", "free", "resolve", "logoff", "detach"}},
        {L"fake_mapi.dll",
         L"send",
         {"a"},
         kMapiSendError,
         {"attach", "logon", "resolve", "free", "send", "logoff", "detach"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.warning << " " << c.library);
        DeleteFileW(record_.c_str());
        UseLibrary(ExeFolder() + L"\\" + c.library);
        SetEnvironmentVariableW(L"FAKE_MAPI_FAIL", c.fail);
        TReporterTrace trace = NewTrace();

        EXPECT_FALSE(SendByMailClient(trace, c.recipients, "S", "B", {}));

        EXPECT_EQ(trace.LastError(),
                  (TReporterTrace::TLastError{TInternalError::eeEmailMAPIError, c.warning}));
        std::vector<std::string> calls;
        for (const std::string& line : Lines(record_)) {
            if (line.rfind("logon", 0) == 0 || line.rfind("resolve", 0) == 0 ||
                line.rfind("logoff", 0) == 0 || line.rfind("send", 0) == 0 || line == "free" ||
                line == "attach" || line == "detach") {
                calls.push_back(line.substr(0, line.find(' ')));
            }
        }
        EXPECT_EQ(calls, c.calls);
        EXPECT_EQ(GetModuleHandleW(c.library), nullptr);
    }
}

// The stub mail program is the mailto command, set for the user and for
// the machine: Windows reads the user's first, Wine the machine's.
class MailtoRoadTest : public testing::Test {
  protected:
    void SetUp() override {
        SetEnvironmentVariableW(L"FAKE_MAILTO_RECORD", record_.c_str());
        SetEnvironmentVariableW(L"FAKE_MAILTO_DIR", ExeFolder().c_str());
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"FAKE_MAILTO_RECORD", nullptr);
        SetEnvironmentVariableW(L"FAKE_MAILTO_DIR", nullptr);
        SetEnvironmentVariableW(L"FAKE_MAILTO_WINDOW", nullptr);
    }

    // Sets the command and checks that the classes root shows it, so that
    // no other mail program can be started by a test.
    void UseCommand(const std::wstring& command, DWORD type = REG_SZ) {
        SetRegistryText(HKEY_CURRENT_USER, kKey, nullptr, command, type);
        SetRegistryText(HKEY_LOCAL_MACHINE, kKey, nullptr, command, type);
        ASSERT_EQ(RegistryText(HKEY_CLASSES_ROOT, L"mailto\\shell\\open\\command", nullptr),
                  command);
    }
    void RemoveCommand() {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, nullptr);
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kKey, nullptr);
        ASSERT_EQ(RegistryText(HKEY_CLASSES_ROOT, L"mailto\\shell\\open\\command", nullptr),
                  std::nullopt);
    }

    static constexpr const wchar_t* kKey = L"Software\\Classes\\mailto\\shell\\open\\command";
    TSavedRegistryValue user_{HKEY_CURRENT_USER, kKey, nullptr};
    TSavedRegistryValue machine_{HKEY_LOCAL_MACHINE, kKey, nullptr};
    std::wstring folder_ = Folder(L"mailto");
    std::wstring record_ = folder_ + L"\\record.txt";
    TReporterTrace trace_ = NewTrace();
};

// Quotes, blanks, "&", "%1" and line breaks of the report stay inside the
// one argument; the program's window ends up top-most and maximized.
TEST_F(MailtoRoadTest, TheProgramGetsTheUrlAsOneArgument) {
    UseCommand(L"\"%FAKE_MAILTO_DIR%\\mailto_stub.exe\" \"%1\"", REG_EXPAND_SZ);
    SetEnvironmentVariableW(L"FAKE_MAILTO_WINDOW", L"1");
    const std::string url = MailtoUrl("ann@example.org", "报告 \"1\"",
                                      "Body\" /attach C:\\x & %1 #y ?z", "Report\r\nline", "Steps");

    EXPECT_TRUE(SendByMailto(trace_, url));

    const std::vector<std::string> lines = AwaitLines(record_, 2);
    ASSERT_EQ(lines.size(), 2u);
    const std::u16string line = base::Utf8ToUtf16(lines[0]);
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(std::wstring(line.begin(), line.end()).c_str(), &count);
    ASSERT_NE(arguments, nullptr);
    ASSERT_EQ(count, 2) << lines[0];
    const std::wstring argument = arguments[1];
    LocalFree(arguments);
    EXPECT_EQ(argument, std::wstring(url.begin(), url.end()));
    EXPECT_EQ(lines[1], "window topmost maximized");
    EXPECT_EQ(trace_.LastError(), TReporterTrace::TLastError{});
}

TEST_F(MailtoRoadTest, ACommandThatDoesNotStartIsRecorded) {
    wchar_t expected[512] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   ERROR_FILE_NOT_FOUND, 0, expected, 512, nullptr);
    std::wstring text = expected;
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
        text.pop_back();
    }
    ASSERT_FALSE(text.empty());

    for (const bool registered : {true, false}) {
        SCOPED_TRACE(registered ? "missing program" : "no command");
        if (registered) {
            UseCommand(L"\"" + folder_ + L"\\no_such_program.exe\" \"%1\"");
        } else {
            RemoveCommand();
        }
        TReporterTrace trace = NewTrace();

        EXPECT_FALSE(SendByMailto(trace, "mailto:a@b?Subject=S&Body=B"));

        EXPECT_EQ(trace.LastError(), (TReporterTrace::TLastError{TInternalError::eeEmailShellError,
                                                                 framework::GbkText(text)}));
    }
    EXPECT_EQ(Lines(record_), std::vector<std::string>{});
}

}  // namespace
}  // namespace exceptions
