#include "exceptions/options.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>
#include <vector>

#include "base/exception.h"
#include "exceptions/options_text.h"
#include "options_fixture.h"

namespace exceptions {
namespace {

using namespace testing;
using Fields = std::map<std::string, std::string>;

const char kThisModule[] = "C:\\Game\\updater.exe";

Fields Defaults() {
    return StoredFields(TVivavaModuleOptions("", false));
}

template <typename E, typename F>
std::string ErrorOf(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e.Message();
    }
    return "(no error)";
}

// --- Stream form -------------------------------------------------------------

TEST(OptionsStreamTest, CurrentFormatRoundTripsEveryStoredFieldAndNothingElse) {
    TVivavaModuleOptions o("C:\\a\\loaded.exe", false);
    o.SetReporterActive(false);
    SetEveryField(o);
    const Fields fields = StoredFields(o), defaults = Defaults();
    ASSERT_EQ(fields.size(), defaults.size() + 4) << "four filter entries";
    for (const auto& [name, value] : defaults) {
        EXPECT_NE(fields.at(name), value) << name << " is not away from its default";
    }
    EXPECT_EQ(o.SaveToString(), LegacyStream(454));
    EXPECT_FALSE(o.ReporterActive());
    EXPECT_EQ(o.ModuleName(), "C:\\a\\loaded.exe");
    EXPECT_FALSE(o.NotifyOwner());

    // And through the text form.
    TVivavaModuleOptions from_text("", false);
    ReadOptionsText(WriteOptionsText(o), from_text);
    EXPECT_EQ(from_text.SaveToString(), LegacyStream(454));
}

TEST(OptionsStreamTest, FinalLineBreakIsDroppedOnlyWhenItIsTheFirst) {
    const struct {
        std::string text, stored;
    } cases[] = {
        {"one line\r\n", "one line"},
        {"\r\n", ""},
        {"two\r\nlines\r\n", "two\r\nlines\r\n"},
        {"lone\nfeed\r\n", "lone\nfeed\r\n"},
        {"cr only\r", "cr only\r"},
        {"twice\r\n\r\n", "twice\r\n\r\n"},
    };
    for (const auto& c : cases) {
        TVivavaModuleOptions source("", false), loaded("", false);
        source.SetFreezeText(c.text);
        source.SetTexts(70, c.text);
        source.FilterClasses().Add(c.text);
        Load(loaded, source.SaveToString());
        EXPECT_EQ(loaded.FreezeText(), c.stored) << c.text;
        EXPECT_EQ(loaded.Texts(70), c.stored) << c.text;
        EXPECT_EQ(loaded.FilterClasses()[0], c.stored) << c.text;
        EXPECT_EQ(source.FreezeText(), c.text) << "the object keeps its text";
    }
}

TEST(OptionsStreamTest, UnequalFilterListsComeBackPaired) {
    TVivavaModuleOptions source("", false), loaded("", false);
    for (const char* c : {"EAbort", "EOne", "ETwo"}) {
        source.FilterClasses().Add(c);
    }
    source.FilterMessages().Add("first");
    loaded.FilterClasses().Add("EOld");
    Load(loaded, source.SaveToString());
    EXPECT_EQ(loaded.FilterClasses().Text(), "EAbort\r\nEOne\r\nETwo\r\n");
    EXPECT_EQ(loaded.FilterMessages().Text(), "first\r\n\r\n\r\n");
}

TEST(OptionsStreamTest, OlderFormatsLoadWhatTheyHold) {
    for (const int version : {400, 401, 402, 403, 419, 420, 421, 422, 449, 450, 454}) {
        SCOPED_TRACE("format " + std::to_string(version));
        Fields expected = Defaults();
        for (const Slot& slot : kLayout) {
            if (version >= slot.from) {
                expected[slot.name] = slot.text ? slot.text : std::to_string(slot.number);
            }
        }
        if (version < 450) {
            // One switch for mailing: a server meant SMTP through it.
            expected["DeliveryMode"] = version >= 420 ? "2" : "1";
        }
        for (int i = 0; i < 2; ++i) {
            expected["FilterClasses[" + std::to_string(i) + "]"] = kFilters[i][0];
            expected["FilterMessages[" + std::to_string(i) + "]"] = kFilters[i][1];
        }
        expected["MailBody"] = kMailBody;
        for (int i = 0; i < kTextCount; ++i) {
            if (TextInFormat(i, version)) {
                expected["Texts[" + std::to_string(i) + "]"] = FixtureText(i);
            }
        }

        TVivavaModuleOptions o("", false);
        base::TMemoryStream source;
        source.Assign(LegacyStream(version));
        o.LoadFromStream(source, static_cast<uint16_t>(version));
        EXPECT_EQ(source.Position(), source.Size()) << "the whole stream is read";
        EXPECT_EQ(StoredFields(o), expected);
    }
}

TEST(OptionsStreamTest, ConvertedValuesOfOlderFormats) {
    const struct {
        int version;
        const char* field;
        uint32_t stored;
        const char* loaded;
    } cases[] = {
        {421, "FreezeSeconds", 60000, "60"},  // milliseconds before 422
        {420, "FreezeSeconds", 1999, "1"},   {422, "FreezeSeconds", 60000, "60000"},
        {449, "ShowReport", 1, "0"},  // inverted before 450
        {449, "ShowReport", 0, "1"},         {450, "ShowReport", 0, "0"},
        {449, "DeliveryMode", 0, "0"},       {454, "DeliveryMode", 7, "7"},
        {454, "LogCapacity", 0, "1"},
    };
    for (const auto& c : cases) {
        TVivavaModuleOptions o("", false);
        Load(o, LegacyStream(c.version, {{c.field, c.stored}}), static_cast<uint16_t>(c.version));
        EXPECT_EQ(StoredFields(o).at(c.field), c.loaded)
            << c.field << " " << c.stored << " in format " << c.version;
    }
}

TEST(OptionsStreamTest, DamagedStreamsRaiseAndChangeNothing) {
    TVivavaModuleOptions o("", false);
    o.SetMailPort(1);
    o.FilterClasses().Add("EKept");
    const std::string before = WriteOptionsText(o);
    for (const int version : {454, 449, 419, 400}) {
        const std::string stream = LegacyStream(version);
        for (size_t cut = 0; cut < stream.size(); ++cut) {
            EXPECT_THROW(Load(o, stream.substr(0, cut), static_cast<uint16_t>(version)),
                         base::EReadError)
                << "format " << version << " cut at " << cut;
        }
    }
    for (const char* name : {"FreezeText", "MailSender", "MailServer", "MailUser", "MailPassword",
                             "MailRecipients", "MailSubject", "LogLocation", "FilterPairs",
                             "FilterClasses", "FilterMessages", "MailBody", "Texts"}) {
        EXPECT_THROW(Load(o, LegacyStream(454, {}, name)), base::EReadError) << name;
    }
    EXPECT_EQ(WriteOptionsText(o), before);
}

// --- Change step -------------------------------------------------------------

class CountingOptions : public TVivavaModuleOptions {
  public:
    using TVivavaModuleOptions::TVivavaModuleOptions;
    int changes = 0;

  protected:
    void Changed() override { ++changes; }
};

TEST(OptionsChangeTest, PublishesOnceAfterEachChangeOfItsOwnModule) {
    SetThisModuleName(kThisModule);
    TVivavaModuleOptions source("", false);
    SetEveryField(source);
    const std::string stream = LegacyStream(454);
    const struct {
        const char* name;
        std::string module;
        bool notify;
        std::function<void(CountingOptions&)> action;
        int changes;
    } cases[] = {
        {"setter", kThisModule, true, [](auto& o) { o.SetMailPort(1); }, 1},
        {"other case", "c:\\game\\UPDATER.EXE", true, [](auto& o) { o.SetMailPort(1); }, 1},
        {"text", kThisModule, true, [](auto& o) { o.SetTexts(5, "x"); }, 1},
        {"filter list", kThisModule, true, [](auto& o) { o.FilterMessages().Add("x"); }, 1},
        {"assign", kThisModule, true, [&](auto& o) { o.Assign(source); }, 1},
        {"load", kThisModule, true, [&](auto& o) { Load(o, stream); }, 1},
        {"defaults", kThisModule, true, [](auto& o) { o.SetDefaults(); }, 1},
        {"text form", kThisModule, true, [](auto& o) { ReadOptionsText("StartTab=1", o); }, 1},
        {"assign to itself", kThisModule, true, [](auto& o) { o.Assign(&o); }, 0},
        {"damaged load", kThisModule, true,
         [&](auto& o) { EXPECT_ANY_THROW(Load(o, stream.substr(0, 40))); }, 0},
        {"notification off", kThisModule, false, [](auto& o) { o.SetMailPort(1); }, 0},
        {"other module", "C:\\Game\\game.exe", true, [](auto& o) { o.SetMailPort(1); }, 0},
        {"no module name", "", true, [](auto& o) { o.SetMailPort(1); }, 0},
    };
    for (const auto& c : cases) {
        CountingOptions o(c.module, c.notify);
        c.action(o);
        EXPECT_EQ(o.changes, c.changes) << c.name;
    }
}

TEST(OptionsChangeTest, NestedUpdatesPublishOnceAtTheOutermostEnd) {
    SetThisModuleName(kThisModule);
    CountingOptions o(kThisModule, true);
    o.BeginUpdate();
    o.BeginUpdate();
    o.SetLogCapacity(5);
    o.FilterClasses().Add("EAbort");
    o.EndUpdate();
    EXPECT_EQ(o.changes, 0);
    o.EndUpdate();
    EXPECT_EQ(o.changes, 1);
}

TEST(OptionsChangeTest, AssignAndDefaultsLeaveTheModuleSettings) {
    TVivavaModuleOptions source("C:\\src.exe", true), target("C:\\target.exe", false);
    EXPECT_EQ(ErrorOf<base::EConvertError>([&] { target.Assign(nullptr); }),
              "Impossible to assign nil as TVivavaModuleOptions.");
    SetEveryField(source);
    source.SetReporterActive(false);
    target.FilterClasses().Add("EOld");
    target.Assign(source);
    EXPECT_EQ(StoredFields(target), StoredFields(source));
    EXPECT_TRUE(target.ReporterActive());
    EXPECT_EQ(target.ModuleName(), "C:\\target.exe");
    EXPECT_FALSE(target.NotifyOwner());

    // The defaults come back, but not for the lists.
    target.SetReporterActive(false);
    target.SetDefaults();
    Fields expected = Defaults();
    for (const auto& [name, value] : StoredFields(source)) {
        if (name.starts_with("FilterClasses[") || name.starts_with("FilterMessages[")) {
            expected[name] = value;
        }
    }
    EXPECT_EQ(StoredFields(target), expected);
    EXPECT_TRUE(target.ReporterActive());
}

TEST(OptionsChangeTest, LogCapacityIsNeverZeroAndTextIndexesAreChecked) {
    TVivavaModuleOptions o("", false);
    o.SetLogCapacity(0);
    EXPECT_EQ(o.LogCapacity(), 1u);
    EXPECT_THROW(o.Texts(kTextCount), base::EListError);
    EXPECT_THROW(o.SetTexts(-1, "x"), base::EListError);
}

// --- Run-time options --------------------------------------------------------

TEST(OptionsExTest, WatchdogFollowsOwnOptionsOnlyWhenTheWantedStateChanges) {
    SetThisModuleName(kThisModule);
    TVivavaModuleOptions watching("", false);
    watching.SetFreezeWatch(true);
    const std::string watching_stream = watching.SaveToString();
    const struct {
        std::function<void(TVivavaModuleOptionsEx&)> step;
        std::vector<bool> calls;
    } steps[] = {
        {[](auto& o) { o.SetFreezeWatch(true); }, {true}},
        {[](auto& o) { o.SetFreezeWatch(true); }, {}},
        {[](auto& o) { o.SetReporterActive(false); }, {false}},
        {[](auto& o) { o.SetFreezeWatch(false); }, {}},
        {[](auto& o) { o.SetReporterActive(true); }, {}},
        {[&](auto& o) { Load(o, watching_stream); }, {true}},
        {[](auto& o) { o.SetDefaults(); }, {false}},
        {[&](auto& o) { o.Assign(watching); }, {true}},
        {[](auto& o) { o.SetMailPort(2); }, {}},
    };
    for (const bool own : {true, false}) {
        TVivavaModuleOptionsEx o(own ? kThisModule : "C:\\Game\\game.exe", true);
        std::vector<bool> calls;
        o.OnWatchdog = [&](bool run) { calls.push_back(run); };
        for (size_t i = 0; i < std::size(steps); ++i) {
            calls.clear();
            steps[i].step(o);
            EXPECT_EQ(calls, own ? steps[i].calls : std::vector<bool>()) << "step " << i;
        }
    }

    // Options that asked for the watchdog before the hook was there.
    TVivavaModuleOptionsEx early(kThisModule, true);
    early.SetFreezeWatch(true);
    std::vector<bool> calls;
    early.OnWatchdog = [&](bool run) { calls.push_back(run); };
    early.SyncWatchdog();
    early.SyncWatchdog();
    EXPECT_EQ(calls, std::vector<bool>{true});
}

TEST(OptionsExTest, ModuleBlockIsWrittenWhenTheStreamChanges) {
    SetThisModuleName(kThisModule);
    for (const bool own : {true, false}) {
        TVivavaModuleOptionsEx o(kThisModule, own);
        std::vector<std::string> blocks;
        o.OnWriteModuleBlock = [&](std::string_view block) { blocks.emplace_back(block); };
        o.SetMailPort(80);
        o.SetMailPort(80);
        o.SetReporterActive(false);  // not stored
        o.BeginUpdate();
        o.SetMailUser("a");
        o.FilterClasses().Add("EAbort");
        o.EndUpdate();
        if (!own) {
            EXPECT_TRUE(blocks.empty());
            continue;
        }
        ASSERT_EQ(blocks.size(), 2u);
        EXPECT_EQ(blocks[1], '\x01' + o.SaveToString());
        TVivavaModuleOptions first("", false);
        Load(first, std::string_view(blocks[0]).substr(1));
        EXPECT_EQ(first.MailPort(), 80);
        EXPECT_EQ(first.MailUser(), "");
    }
}

TEST(OptionsExTest, ThreadsTogglingTheWatchdogStartAndStopItInTurn) {
    SetThisModuleName(kThisModule);
    TVivavaModuleOptionsEx o(kThisModule, true);
    std::vector<bool> calls;  // guarded by the options' own lock
    std::atomic<bool> inside{false};
    std::atomic<int> overlaps{0}, blocks{0};
    o.OnWatchdog = [&](bool run) {
        // Stays a while, so that a second call at the same time would be seen.
        overlaps += inside.exchange(true) ? 1 : 0;
        std::this_thread::sleep_for(std::chrono::microseconds(100));
        calls.push_back(run);
        inside = false;
    };
    o.OnWriteModuleBlock = [&](std::string_view) { ++blocks; };
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&o, t] {
            for (int i = 0; i < 300; ++i) {
                if ((i + t) % 7 == 0) {
                    o.SetReporterActive(i % 2 == 0);
                } else {
                    o.SetFreezeWatch((i * 3 + t) % 2 == 0);
                }
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    EXPECT_EQ(overlaps.load(), 0);
    ASSERT_FALSE(calls.empty());
    EXPECT_TRUE(calls.front());
    for (size_t i = 1; i < calls.size(); ++i) {
        ASSERT_NE(calls[i], calls[i - 1]) << "call " << i;
    }
    EXPECT_EQ(calls.back(), o.ReporterActive() && o.FreezeWatch());
    EXPECT_GT(blocks.load(), 0);
}

// --- Log file names ----------------------------------------------------------

TEST(OptionsFilesTest, OutputFileAndLogFile) {
    const struct {
        const char *location, *name, *file;
    } cases[] = {
        {"", "C:\\Game\\u.clg", "C:\\Game\\u.clg"},
        {"D:\\logs", "C:\\Game\\u.clg", "D:\\logs\\u.clg"},
        {"D:\\logs\\", "C:\\Game\\u.clg", "D:\\logs\\u.clg"},
        {"D:/logs/", "C:\\Game\\u.clg", "D:/logs/u.clg"},
        {"D:", "C:\\Game\\u.clg", "D:\\u.clg"},
        {"D:\\logs\\all.CLG", "C:\\Game\\u.clg", "D:\\logs\\all.CLG"},
        {"all.clg", "C:\\Game\\u.clg", "all.clg"},
        {"D:\\logs.clg\\x", "C:\\Game\\u.clg", "D:\\logs.clg\\x\\u.clg"},
        {"D:\\logs.d", "C:\\Game\\u.clg", "D:\\logs.d\\u.clg"},
        {"", "u.clg", "u.clg"},
        // A folder ending in a character whose second byte is a backslash.
        {"D:\\\x95\x5c", "C:\\Game\\u.clg", "D:\\\x95\x5c\\u.clg"},
        {"",
         "C:\\\x95\x5c"
         "u.clg",
         "C:\\\x95\x5c"
         "u.clg"},
    };
    for (const auto& c : cases) {
        TVivavaModuleOptions o("", false);
        o.SetLogLocation(c.location);
        EXPECT_EQ(o.OutputFile(c.name), c.file) << "'" << c.location << "' '" << c.name << "'";
    }
    const struct {
        const char *module, *location, *file;
    } logs[] = {
        {"C:\\Game\\updater.exe", "", "C:\\Game\\updater.clg"},
        {"C:\\Game\\updater.exe", "E:\\l", "E:\\l\\updater.clg"},
        {"C:\\a.b\\updater", "", "C:\\a.b\\updater.clg"},
        {"C:\\\x95\x5c.exe", "", "C:\\\x95\x5c.clg"},
    };
    for (const auto& c : logs) {
        TVivavaModuleOptions o(c.module, false);
        o.SetLogLocation(c.location);
        EXPECT_EQ(o.OutputLogFile(), c.file) << c.module;
    }
}

// --- Text form ---------------------------------------------------------------

TEST(OptionsTextTest, ReadsAndWritesValuesOfEveryKind) {
    const struct {
        const char* text;
        const char* field;
        std::string written;
        const char* freeze_text = nullptr;  // the text read, for FreezeText
    } cases[] = {
        {"ShowReport=false", "ShowReport", "0"},
        {"  FancyLook =  0  ", "FancyLook", "0"},
        {"MailPort=0x1F90", "MailPort", "8080"},
        {"LogCapacity=0", "LogCapacity", "1"},
        {"LogFieldMask=4294967295", "LogFieldMask", "4294967295"},
        {"# comment\r\n\r\nTexts[70]=Dump\r\n", "Texts[70]", "Dump"},
        {"FilterClasses[0]=A\nFilterClasses[1]=B\nFilterClasses[0]=C", "FilterClasses[0]", "C"},
        {"FreezeText=a\\r\\nb\\tc\\\\d", "FreezeText", "a\\r\\nb\\tc\\\\d", "a\r\nb\tc\\d"},
        {"FreezeText=\\x20\\x01\\x7f \\x20", "FreezeText", "\\x20\\x01\\x7F \\x20", " \x01\x7f  "},
        {"FreezeText=\x95\\n", "FreezeText", "\x95\\n", "\x95\\n"},  // one character, then "n"
        {"FreezeText=\\x95\\n", "FreezeText", "\\x95\\n", "\x95\n"},
        {"FreezeText=x=y", "FreezeText", "x=y", "x=y"},
    };
    for (const auto& c : cases) {
        TVivavaModuleOptions o("", false), again("", false);
        ReadOptionsText(c.text, o);
        const std::string written = StoredFields(o).at(c.field);
        EXPECT_EQ(written, c.written) << c.text;
        if (c.freeze_text) {
            EXPECT_EQ(o.FreezeText(), c.freeze_text) << c.text;
        }
        ReadOptionsText(WriteOptionsText(o), again);
        EXPECT_EQ(WriteOptionsText(again), WriteOptionsText(o)) << c.text;
    }
}

TEST(OptionsTextTest, ErrorsNameTheLineAndChangeNothing) {
    const struct {
        const char *text, *message;
    } cases[] = {
        {"ShowReport=1\n# x\nShowReports=1", "line 3: unknown key \"ShowReports\""},
        {"ReporterActive=0", "line 1: unknown key \"ReporterActive\""},
        {"ShowReport=2", "line 1: \"2\" is not 0, 1, false or true"},
        {"StartTab=256", "line 1: 256 is above 255"},
        {"MailPort=0x10000", "line 1: 0x10000 is above 65535"},
        {"LogCapacity=4294967296", "line 1: 4294967296 is above 4294967295"},
        {"LogCapacity=-1", "line 1: \"-1\" is not a number"},
        {"LogCapacity=12a", "line 1: \"12a\" is not a number"},
        {"MailPort=0x", "line 1: \"0x\" is not a number"},
        {"FreezeText=a\\q", "line 1: unknown escape \"\\q\""},
        {"FreezeText=a\\x4", "line 1: \"\\x\" needs two hexadecimal digits"},
        {"FreezeText=a\\", "line 1: the text ends in a lone \"\\\""},
        {"Texts[71]=x", "line 1: \"Texts[71]\": texts go up to 70"},
        {"Texts[x]=x", "line 1: bad index in \"Texts[x]\""},
        {"Other[0]=x", "line 1: unknown key \"Other[0]\""},
        {"FilterMessages[3]=x", "line 1: \"FilterMessages[3]\" comes before entry 2"},
        {"\n\nShowReport", "line 3: expected Key=Value"},
    };
    for (const auto& c : cases) {
        TVivavaModuleOptions o("", false);
        SetEveryField(o);
        EXPECT_EQ(ErrorOf<base::EConvertError>([&] { ReadOptionsText(c.text, o); }),
                  std::string("Options text, ") + c.message);
        EXPECT_EQ(o.SaveToString(), LegacyStream(454)) << c.text;
    }
}

TEST(OptionsTextTest, ShippedOptionsDifferFromTheDefaultsAsDecided) {
    // UPDATER_TEST_DATA is <source>/tests/data.
    std::string root = UPDATER_TEST_DATA;
    root.resize(root.size() - std::string_view("tests/data").size());
    std::ifstream file(root + "src/app/crashlore_options.ini", std::ios::binary);
    ASSERT_TRUE(file) << root;
    std::stringstream text;
    text << file.rdbuf();

    TVivavaModuleOptions o("", false);
    ReadOptionsText(text.str(), o);
    EXPECT_TRUE(o.ShowReport());
    EXPECT_TRUE(o.KeepLogFile());
    EXPECT_EQ(o.ReportFlags(), kReportSkipDuplicates);
    EXPECT_EQ(o.DeliveryMode(), kDeliveryNone);
    EXPECT_FALSE(o.FreezeWatch());
    EXPECT_FALSE(o.AttachScreenshot());
    Fields expected = Defaults();
    expected["ReportFlags"] = "1";
    EXPECT_EQ(StoredFields(o), expected);
}

}  // namespace
}  // namespace exceptions
