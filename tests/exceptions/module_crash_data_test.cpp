// The CLDATA block as the reporter finds it at run time: this test program is
// built like updater.exe (its crash data made from a first link, with the
// shipped options), so it carries its own block; and blocks appended to a
// file.

#include "exceptions/win32/module_crash_data.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "exceptions/debug_data.h"
#include "exceptions/options.h"

namespace exceptions {
namespace {

// A function whose place the debug data must name.
constexpr uint32_t kMarkedLine = __LINE__ + 1;
[[gnu::noinline]] int MarkedFunction(int x) {
    return x * 3 + 1;
}

TEST(ModuleCrashData, ThisProgramCarriesItsOptionsAndDebugData) {
    HMODULE self = GetModuleHandleW(nullptr);
    const TCrashData data = ReadModuleCrashData(self);
    ASSERT_EQ(data.status, TCrashDataStatus::kOk);
    EXPECT_EQ(data.version, kCrashDataVersion);

    TVivavaModuleOptions options("", false);
    const std::string debug = LoadCrashPayload(data.payload, data.version, options);
    // The shipped options: reports shown and logged, duplicates skipped, no
    // mail, no watchdog, no screenshot.
    EXPECT_TRUE(options.ShowReport());
    EXPECT_TRUE(options.KeepLogFile());
    EXPECT_EQ(options.ReportFlags(), 1);
    EXPECT_EQ(options.DeliveryMode(), 0);
    EXPECT_FALSE(options.FreezeWatch());
    EXPECT_FALSE(options.AttachScreenshot());

    const TDebugDataReader reader(debug, data.version);
    ASSERT_TRUE(reader.Valid());
    const uintptr_t code = reinterpret_cast<uintptr_t>(self) + 0x1000;
    const auto at = [&](uintptr_t address) {
        return reader.Find(static_cast<uint32_t>(address - code));
    };
    const auto marked = at(reinterpret_cast<uintptr_t>(&MarkedFunction));
    ASSERT_TRUE(marked.has_value());
    EXPECT_EQ(marked->unit, "tests/exceptions/module_crash_data_test.cpp");
    EXPECT_EQ(marked->procedure, "MarkedFunction");
    // The function's first instruction: its opening line or, optimised, the
    // line of its one statement.
    EXPECT_GE(marked->line, kMarkedLine);
    EXPECT_LE(marked->line, kMarkedLine + 1);
    EXPECT_EQ(MarkedFunction(1), 4);
}

class AppendedCrashData : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = std::filesystem::path(UPDATER_TEST_OUTPUT) / "exceptions" / "appended.bin";
        std::filesystem::create_directories(path_.parent_path());
    }
    void Write(const std::string& bytes) {
        std::ofstream(path_, std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    TCrashData Read() const { return ReadAppendedCrashData(path_.u16string()); }
    static std::string U32(uint32_t v) {
        std::string s(4, '\0');
        std::memcpy(s.data(), &v, 4);
        return s;
    }
    // A program's bytes followed by a block of `options` and `debug`, framed
    // by `length` (the block's own length when 0).
    static std::string WithBlock(const TVivavaModuleOptions& options, const std::string& debug,
                                 uint32_t length = 0) {
        std::string block("\xC6\x01", 2);  // version 454
        block += std::string(8, '\0') + options.SaveToString() + U32(debug.size()) + debug;
        return std::string(1000, 'P') + block +
               U32(length != 0 ? length : static_cast<uint32_t>(block.size())) +
               U32(kCrashDataMagic);
    }

    std::filesystem::path path_;
};

TEST_F(AppendedCrashData, IsReadFromTheEndOfTheFile) {
    TVivavaModuleOptions options("", false);
    options.SetReportFlags(3);
    options.SetMailSubject("升级程序出错");
    Write(WithBlock(options, "debug bytes"));
    const TCrashData data = Read();
    ASSERT_EQ(data.status, TCrashDataStatus::kOk);
    TVivavaModuleOptions loaded("", false);
    EXPECT_EQ(LoadCrashPayload(data.payload, data.version, loaded), "debug bytes");
    EXPECT_EQ(loaded.ReportFlags(), 3);
    EXPECT_EQ(loaded.MailSubject(), "升级程序出错");
}

TEST_F(AppendedCrashData, AFileWithoutABlockCarriesNone) {
    TVivavaModuleOptions options("", false);
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"no magic", std::string(2000, 'P')},
        {"too short", U32(kCrashDataMagic)},
        {"length beyond the file", WithBlock(options, "", 1u << 30)},
    };
    for (const auto& c : cases) {
        Write(c.bytes);
        EXPECT_EQ(Read().status, TCrashDataStatus::kNotCarrying) << c.what;
    }
    std::filesystem::remove(path_);
    EXPECT_EQ(Read().status, TCrashDataStatus::kNotCarrying) << "no file";
}

}  // namespace
}  // namespace exceptions
