// The error log on disk and the system fields of a report: the log's place
// (and the per-user folder when the program's folder takes no files), two
// processes adding items at once, wide paths, a log too large to read whole,
// a log that cannot be written, and plausible values from the system.

#include "exceptions/win32/log_writer.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "exceptions/win32/system_info.h"
#include "framework/graphics.h"

namespace exceptions {
namespace {

std::u16string U16(const std::wstring& text) {
    return std::u16string(text.begin(), text.end());
}

std::wstring Wide(const std::u16string& text) {
    return std::wstring(text.begin(), text.end());
}

// A folder of its own under the test output, emptied first.
std::wstring Folder(const std::wstring& name) {
    const std::wstring output = framework::WideText(UPDATER_TEST_OUTPUT);
    CreateDirectoryW(output.c_str(), nullptr);
    CreateDirectoryW((output + L"\\exceptions").c_str(), nullptr);
    const std::wstring folder = output + L"\\exceptions\\" + name;
    CreateDirectoryW(folder.c_str(), nullptr);
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            SetFileAttributesW((folder + L"\\" + found.cFileName).c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW((folder + L"\\" + found.cFileName).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    return folder;
}

// The bytes of a file, read through its wide name.
std::string Bytes(const std::u16string& path) {
    const HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    std::string bytes(1 << 16, '\0');
    DWORD read = 0;
    if (file == INVALID_HANDLE_VALUE ||
        !ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) {
        read = 0;
    }
    CloseHandle(file);
    bytes.resize(read);
    return bytes;
}

std::string Item(const std::string& tag) {
    return std::string(kLogHeader) + "\r\n\r\n  2.5 Message : " + tag + "\r\n";
}

TEST(LogWriter, TheLogLiesBesideTheModuleOrWhereTheOptionsSay) {
    const struct {
        const char* location;  // GBK
        const wchar_t* module;
        const wchar_t* log;
    } cases[] = {
        {"", L"C:\\Game\\updater.exe", L"C:\\Game\\updater.clg"},
        {"D:\\logs", L"C:\\Game\\updater.exe", L"D:\\logs\\updater.clg"},
        {"D:\\logs\\", L"C:\\Game\\updater.exe", L"D:\\logs\\updater.clg"},
        {"D:\\x\\Mine.CLG", L"C:\\Game\\updater.exe", L"D:\\x\\Mine.CLG"},
        {"\xC8\xD5\xD6\xBE", L"C:\\\x6E38\x620F\\updater.exe", L"\x65E5\x5FD7\\updater.clg"},
        {"", L"C:\\\x6E38\x620F\\up.dater.exe", L"C:\\\x6E38\x620F\\up.dater.clg"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.location);
        TVivavaModuleOptions options("updater.exe", false);
        options.SetLogLocation(c.location);
        EXPECT_EQ(Wide(LogFilePath(options, U16(c.module))), c.log);
    }
}

TEST(LogWriter, AFolderThatTakesNoFilesSendsTheLogToThePerUserFolder) {
    const std::wstring folder = Folder(L"writable");
    const std::u16string here = U16(folder + L"\\updater.clg");
    EXPECT_EQ(WritableLogPath(here), here);
    const std::u16string elsewhere = WritableLogPath(U16(folder + L"\\no-such-folder\\up.clg"));
    EXPECT_NE(Wide(elsewhere).find(L"\\exceptions_log_test\\up.clg"), std::wstring::npos);
    EXPECT_NE(GetFileAttributesW(Wide(elsewhere).substr(0, Wide(elsewhere).rfind(L'\\')).c_str()),
              INVALID_FILE_ATTRIBUTES);
}

// Run by the test below as a second process: adds items to the log the
// environment names.
TEST(LogWriter, SecondWriter) {
    wchar_t path[MAX_PATH];
    if (GetEnvironmentVariableW(L"UPDATER_LOG_WRITER", path, MAX_PATH) == 0) {
        GTEST_SKIP() << "run by TwoProcessesWritingAtOnceKeepBothTheirItems";
    }
    TVivavaModuleOptions options("updater.exe", false);
    options.SetLogCapacity(100);
    for (int i = 0; i < 20; ++i) {
        AppendToLog(options, U16(path), Item("child " + std::to_string(i)), false, true);
    }
}

TEST(LogWriter, TwoProcessesWritingAtOnceKeepBothTheirItems) {
    const std::wstring folder = Folder(L"two");
    const std::wstring path = folder + L"\\both.clg";
    // The child writes while this process does.
    long code = -2;
    std::thread child([&] {
        code = RunChildTest(L"LogWriter.SecondWriter", L"UPDATER_LOG_WRITER", path.c_str());
    });
    TVivavaModuleOptions options("updater.exe", false);
    options.SetLogCapacity(100);
    for (int i = 0; i < 20; ++i) {
        AppendToLog(options, U16(path), Item("parent " + std::to_string(i)), false, true);
    }
    child.join();
    EXPECT_EQ(code, 0);
    const TLogFile log = ReadLog(U16(path));
    EXPECT_EQ(log.Items().size(), 40u);
    for (const std::string who : {"parent ", "child "}) {
        for (int i = 0; i < 20; ++i) {
            const std::string tag = who + std::to_string(i) + "\r\n";
            EXPECT_EQ(std::count_if(log.Items().begin(), log.Items().end(),
                                    [&](const std::string& item) {
                                        return item.find(tag) != std::string::npos;
                                    }),
                      1)
                << tag;
        }
    }
}

TEST(LogWriter, WidePathsLargeLogsAndUnwritableLogs) {
    TVivavaModuleOptions options("updater.exe", false);
    options.SetLogCapacity(32);
    options.SetSendWholeLog(true);
    // A folder whose name is outside GBK and the code page.
    const std::wstring folder = Folder(L"\x65E5\x5FD7\x0639");
    const std::u16string path = U16(folder + L"\\updater.clg");
    const std::string sent = AppendToLog(options, path, Item("first"), false, true);
    EXPECT_EQ(sent, Bytes(path));
    EXPECT_EQ(ReadLog(path).Items().size(), 1u);
    // A duplicate changes nothing; without saving, the text to send still
    // holds the item.
    AppendToLog(options, path, Item("again"), true, true);
    EXPECT_EQ(ReadLog(path).Items().size(), 1u);
    EXPECT_NE(AppendToLog(options, path, Item("unsaved"), false, false).find("unsaved"),
              std::string::npos);
    EXPECT_EQ(ReadLog(path).Items().size(), 1u);

    // Larger than is ever read: only the items of the tail come back.
    std::string huge(kLogReadLimit + 1000, 'x');
    huge += "\r\n" + Item("tail") + "\r\n\r\n\r\n\r\n";
    const HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, huge.data(), static_cast<DWORD>(huge.size()), &written, nullptr);
    CloseHandle(file);
    const TLogFile tail = ReadLog(path);
    ASSERT_EQ(tail.Items().size(), 1u);
    EXPECT_NE(tail.Items()[0].find("tail"), std::string::npos);

    // A log another program holds without sharing: an error, and the file as
    // it was.
    AppendToLog(options, path, Item("kept"), false, true);
    const std::string before = Bytes(path);
    const HANDLE held = CreateFileW(Wide(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_THROW(AppendToLog(options, path, Item("lost"), false, true), base::Exception);
    CloseHandle(held);
    EXPECT_EQ(Bytes(path), before);
}

TEST(SystemInfo, FieldsComeFromTheSystem) {
    TReportFields fields;
    CollectSystemFields(fields);
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    ASSERT_TRUE(GetComputerNameW(computer, &length));
    EXPECT_EQ(fields.computer, framework::GbkText(computer));
    EXPECT_FALSE(fields.user.empty());
    EXPECT_EQ(fields.name, "exceptions_log_test.exe");  // no version information
    EXPECT_TRUE(fields.version.empty());
    EXPECT_TRUE(std::regex_match(fields.total_memory, std::regex(R"(\d+ Mb)")));
    EXPECT_TRUE(std::regex_match(fields.free_memory, std::regex(R"(\d+ Mb)")));
    EXPECT_TRUE(std::regex_match(fields.total_disk, std::regex(R"(\d+(\.\d{1,2})? Gb)")));
    EXPECT_TRUE(std::regex_match(fields.free_disk, std::regex(R"(\d+(\.\d{1,2})? Gb)")));
    EXPECT_TRUE(std::regex_match(fields.os_build, std::regex(R"(\d+)")));
    EXPECT_FALSE(fields.language.empty());
    EXPECT_EQ(SystemName(5, 1, true, ""), "Microsoft Windows XP");
    EXPECT_EQ(SystemName(4, 10, false, "A"), "Microsoft Windows 98 SE");
    EXPECT_EQ(SystemName(10, 0, true, ""), "");

    // The zone offset in force at a moment: local time minus UTC.
    SYSTEMTIME utc{2026, 7, 0, 15, 12, 0, 0, 0};
    const TLogTime local = LocalLogTime(utc);
    EXPECT_EQ((local.hour * 60 + local.minute + local.bias_minutes + 24 * 60) % (24 * 60), 12 * 60);
}

}  // namespace
}  // namespace exceptions
