#include "exceptions/options.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/exception.h"
#include "base/streams.h"
#include "exceptions/options_text.h"
#include "exceptions/scramble.h"
#include "options_fields.h"

namespace exceptions {
namespace {

using testing::SetEveryField;
using testing::StoredFields;
using Fields = std::map<std::string, std::string>;

const char kThisModule[] = "C:\\Game\\updater.exe";

std::string Saved(const TVivavaModuleOptions& o) {
    return o.SaveToString();
}

void Load(TVivavaModuleOptions& o, std::string_view bytes, uint16_t version = 454) {
    base::TMemoryStream stream;
    stream.Assign(bytes);
    o.LoadFromStream(stream, version);
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

TEST(OptionsStreamTest, RoundTripKeepsEveryStoredFieldAndNothingElse) {
    TVivavaModuleOptions source("C:\\a\\source.exe", true);
    SetEveryField(source);
    source.SetReporterActive(false);
    // The fixture really moves every field away from its default.
    const Fields defaults = StoredFields(TVivavaModuleOptions("", false));
    const Fields expected = StoredFields(source);
    for (const auto& [name, value] : expected) {
        EXPECT_NE(value, defaults.at(name)) << name;
    }

    TVivavaModuleOptions loaded("C:\\b\\loaded.exe", false);
    Load(loaded, Saved(source));
    EXPECT_EQ(StoredFields(loaded), expected);
    EXPECT_TRUE(loaded.ReporterActive());
    EXPECT_EQ(loaded.ModuleName(), "C:\\b\\loaded.exe");
    EXPECT_FALSE(loaded.NotifyOwner());
    // The stored strings are scrambled: no plain text of them in the stream.
    EXPECT_EQ(Saved(source).find("smtp.example.org"), std::string::npos);
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
        {"inside\r\nonly", "inside\r\nonly"},
    };
    for (const auto& c : cases) {
        TVivavaModuleOptions source("", false), loaded("", false);
        source.SetFreezeText(c.text);
        source.SetTexts(70, c.text);
        source.FilterClasses().Add(c.text);
        Load(loaded, Saved(source));
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
    Load(loaded, Saved(source));
    EXPECT_EQ(loaded.FilterClasses().Text(), "EAbort\r\nEOne\r\nETwo\r\n");
    EXPECT_EQ(loaded.FilterMessages().Text(), "first\r\n\r\n\r\n");

    TVivavaModuleOptions messages_only("", false), again("", false);
    messages_only.FilterMessages().Add("m1");
    messages_only.FilterMessages().Add("m2");
    Load(again, Saved(messages_only));
    EXPECT_EQ(again.FilterClasses().Text(), "\r\n\r\n");
    EXPECT_EQ(again.FilterMessages().Text(), "m1\r\nm2\r\n");
}

// Older formats, written here from their layout: each slot in stream order
// with the versions that hold it and the value this fixture stores.
enum class Kind { kByte, kWord, kLong, kText };

struct Slot {
    const char* name;
    Kind kind;
    bool (*present)(int version);
    uint32_t number;
    const char* text;
};

bool Always(int) {
    return true;
}
bool From420(int v) {
    return v >= 420;
}
bool After400(int v) {
    return v > 400;
}
bool After402(int v) {
    return v > 402;
}
bool After420(int v) {
    return v > 420;
}
bool From450(int v) {
    return v >= 450;
}

const Slot kLayout[] = {
    {"ReservedSwitch", Kind::kByte, Always, 0, nullptr},
    {"FilterActive", Kind::kByte, Always, 0, nullptr},
    {"ReportFlags", Kind::kByte, Always, 1, nullptr},
    {"ShowReport", Kind::kByte, Always, 0, nullptr},
    {"LogInBody", Kind::kByte, Always, 0, nullptr},
    {"SendWholeLog", Kind::kByte, From450, 0, nullptr},
    {"AttachScreenshot", Kind::kByte, From450, 0, nullptr},
    {"ShowMailProgress", Kind::kByte, From450, 1, nullptr},
    {"KeepLogFile", Kind::kByte, After400, 1, nullptr},
    {"StartTab", Kind::kByte, After400, 1, nullptr},
    {"FancyLook", Kind::kByte, After402, 1, nullptr},
    {"FreezeWatch", Kind::kByte, From420, 0, nullptr},
    {"FreezeSeconds", Kind::kLong, From420, 60, nullptr},
    {"FreezeText", Kind::kText, From420, 0, "frozen"},
    {"MailSender", Kind::kText, From450, 0, "from@example.net"},
    {"MailServer", Kind::kText, From420, 0, "mx.example.net"},
    {"MailPort", Kind::kWord, From450, 587, nullptr},
    {"MailUser", Kind::kText, After420, 0, "who"},
    {"MailPassword", Kind::kText, After420, 0, "secret"},
    {"QuitRestarts", Kind::kByte, After420, 1, nullptr},
    {"ShowQuitButton", Kind::kByte, Always, 1, nullptr},
    {"LogCapacity", Kind::kLong, Always, 9, nullptr},
    {"QuitButtonAfter", Kind::kLong, Always, 4, nullptr},
    {"MailRecipients", Kind::kText, Always, 0, "to@example.net"},
    {"MailSubject", Kind::kText, Always, 0, "subject"},
    {"DeliveryMode", Kind::kByte, Always, 3, nullptr},
    {"LogFieldMask", Kind::kLong, Always, 0x00ABCDEF, nullptr},
    {"LogLocation", Kind::kText, Always, 0, "E:\\logs"},
};

bool TextInFormat(int i, int v) {
    const bool missing_before_450 = (i >= 8 && i <= 11) || (i >= 16 && i <= 18) || i == 23 ||
                                    i == 37 || i == 45 || i == 47 || i == 48 || i > 52;
    return !(v < 450 && missing_before_450) && !(v < 420 && i == 15) && !(v <= 420 && i == 14);
}

class LegacyWriter {
  public:
    void Byte(uint32_t v) { bytes_ += static_cast<char>(v); }
    void Word(uint32_t v) {
        Byte(v & 0xFF);
        Byte(v >> 8 & 0xFF);
    }
    void Long(uint32_t v) {
        Word(v & 0xFFFF);
        Word(v >> 16);
    }
    void Text(std::string s, uint32_t length) {
        Long(length);
        Scramble(s);
        bytes_ += s;
    }
    std::string bytes_;
};

// The stream of `version` holding the fixture's values. `raw` replaces a
// slot's number by the bytes to store; `huge_length` names the string whose
// length is 0xFFFFFFFF.
std::string LegacyStream(int version, const std::map<std::string, uint32_t>& raw = {},
                         const std::string& huge_length = "") {
    LegacyWriter w;
    auto length = [&](const std::string& name, const std::string& s) {
        return name == huge_length ? 0xFFFFFFFFu : static_cast<uint32_t>(s.size());
    };
    for (const Slot& slot : kLayout) {
        if (!slot.present(version)) {
            continue;
        }
        const std::string name = slot.name;
        uint32_t number = slot.number;
        if (name == "ShowReport" && version < 450) {
            number = !number;
        }
        if (name == "FreezeSeconds" && version < 422) {
            number *= 1000;
        }
        if (raw.contains(name)) {
            number = raw.at(name);
        }
        switch (slot.kind) {
            case Kind::kByte:
                w.Byte(number);
                break;
            case Kind::kWord:
                w.Word(number);
                break;
            case Kind::kLong:
                w.Long(number);
                break;
            case Kind::kText:
                w.Text(slot.text, length(name, slot.text));
                break;
        }
        if (name == "LogFieldMask" && version < 450) {
            w.Byte(0xEE);
        }
    }
    w.Long(huge_length == "FilterPairs" ? 0xFFFFFFFFu : 1);
    w.Text("EAbort", length("FilterClasses", "EAbort"));
    w.Text("aborted", length("FilterMessages", "aborted"));
    w.Text("body", length("MailBody", "body"));
    for (int i = 0; i < kTextCount; ++i) {
        if (TextInFormat(i, version)) {
            const std::string text = "T" + std::to_string(i);
            w.Text(text, length("Texts", text));
        }
    }
    return w.bytes_;
}

const int kVersions[] = {400, 401, 402, 403, 419, 420, 421, 422, 449, 450, 454};

TEST(OptionsStreamTest, OlderFormatsLoadWhatTheyHoldAndKeepTheRest) {
    for (const int version : kVersions) {
        SCOPED_TRACE("version " + std::to_string(version));
        TVivavaModuleOptions o("", false);
        SetEveryField(o);
        Fields expected = StoredFields(o);
        for (const Slot& slot : kLayout) {
            if (slot.present(version)) {
                expected[slot.name] = slot.text ? slot.text : std::to_string(slot.number);
            }
        }
        if (version < 450) {
            // One switch for mailing: a server (read, or kept from before)
            // meant SMTP through it.
            expected["DeliveryMode"] = "2";
        }
        expected["FilterClasses"] = "EAbort|";
        expected["FilterMessages"] = "aborted|";
        expected["MailBody"] = "body";
        for (int i = 0; i < kTextCount; ++i) {
            if (TextInFormat(i, version)) {
                expected["Texts[" + std::to_string(i) + "]"] = "T" + std::to_string(i);
            }
        }

        const std::string stream = LegacyStream(version);
        base::TMemoryStream source;
        source.Assign(stream);
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
        {449, "DeliveryMode", 0, "0"},       {449, "DeliveryMode", 1, "2"},  // with a server
        {419, "DeliveryMode", 7, "1"},                                       // without one
        {454, "DeliveryMode", 7, "7"},       {454, "LogCapacity", 0, "1"},
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
    SetEveryField(o);
    const Fields before = StoredFields(o);
    for (const int version : {454, 449, 419, 400}) {
        const std::string stream = LegacyStream(version);
        for (size_t cut = 0; cut < stream.size(); ++cut) {
            EXPECT_THROW(Load(o, stream.substr(0, cut), static_cast<uint16_t>(version)),
                         base::EReadError)
                << "format " << version << " cut at " << cut;
        }
    }
    const std::string huge[] = {"FreezeText",   "MailSender",     "MailServer",     "MailUser",
                                "MailPassword", "MailRecipients", "MailSubject",    "LogLocation",
                                "FilterPairs",  "FilterClasses",  "FilterMessages", "MailBody",
                                "Texts"};
    for (const std::string& name : huge) {
        EXPECT_THROW(Load(o, LegacyStream(454, {}, name)), base::EReadError) << name;
    }
    EXPECT_EQ(StoredFields(o), before);
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
    const std::string stream = Saved(source);
    using Action = std::function<void(CountingOptions&)>;
    const struct {
        const char* name;
        std::string module;
        bool notify;
        Action action;
        int changes;
    } cases[] = {
        {"setter", kThisModule, true, [](auto& o) { o.SetMailPort(1); }, 1},
        {"name in other case", "c:\\game\\UPDATER.EXE", true, [](auto& o) { o.SetMailPort(1); }, 1},
        {"text", kThisModule, true, [](auto& o) { o.SetTexts(5, "x"); }, 1},
        {"filter list", kThisModule, true, [](auto& o) { o.FilterMessages().Add("x"); }, 1},
        {"assign", kThisModule, true, [&](auto& o) { o.Assign(source); }, 1},
        {"load", kThisModule, true, [&](auto& o) { Load(o, stream); }, 1},
        {"defaults", kThisModule, true, [](auto& o) { o.SetDefaults(); }, 1},
        {"assign to itself", kThisModule, true, [](auto& o) { o.Assign(&o); }, 0},
        {"damaged load", kThisModule, true,
         [&](auto& o) { EXPECT_THROW(Load(o, stream.substr(0, 40)), base::EReadError); }, 0},
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
    EXPECT_EQ(o.UpdateCount(), 1);
    o.EndUpdate();
    EXPECT_EQ(o.changes, 1);
}

TEST(OptionsChangeTest, AssignOfNothingIsAnError) {
    TVivavaModuleOptions o("", false);
    EXPECT_EQ(ErrorOf<base::EConvertError>([&] { o.Assign(nullptr); }),
              "Impossible to assign nil as TVivavaModuleOptions.");
}

TEST(OptionsChangeTest, AssignCopiesAllButTheModuleSettings) {
    TVivavaModuleOptions source("C:\\src.exe", true), target("C:\\target.exe", false);
    SetEveryField(source);
    source.SetReporterActive(false);
    target.FilterClasses().Add("EOld");
    target.Assign(source);
    EXPECT_EQ(StoredFields(target), StoredFields(source));
    EXPECT_TRUE(target.ReporterActive());
    EXPECT_EQ(target.ModuleName(), "C:\\target.exe");
    EXPECT_FALSE(target.NotifyOwner());

    // Defaults come back, but the lists and the module settings stay.
    target.SetReporterActive(false);
    target.SetDefaults();
    Fields expected = StoredFields(TVivavaModuleOptions("", false));
    expected["FilterClasses"] = "EAbort|EFrozenApplication|";
    expected["FilterMessages"] = std::string("|") + "冻结" + "|";
    EXPECT_EQ(StoredFields(target), expected);
    EXPECT_TRUE(target.ReporterActive());
    EXPECT_EQ(target.ModuleName(), "C:\\target.exe");
}

TEST(OptionsChangeTest, LogCapacityIsNeverZeroAndTextIndexesAreChecked) {
    TVivavaModuleOptions o("", false);
    o.SetLogCapacity(0);
    EXPECT_EQ(o.LogCapacity(), 1u);
    ReadOptionsText("LogCapacity=0", o);
    EXPECT_EQ(o.LogCapacity(), 1u);
    EXPECT_THROW(o.Texts(kTextCount), base::EListError);
    EXPECT_THROW(o.SetTexts(-1, "x"), base::EListError);
}

// --- Run-time options ----------------------------------------------------------

TEST(OptionsExTest, WatchdogFollowsOwnOptionsOnlyWhenTheWantedStateChanges) {
    SetThisModuleName(kThisModule);
    TVivavaModuleOptions watching("", false);
    watching.SetFreezeWatch(true);
    const std::string watching_stream = Saved(watching);
    using Step = std::function<void(TVivavaModuleOptionsEx&)>;
    const struct {
        Step step;
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
}

TEST(OptionsExTest, SyncWatchdogCatchesUpWithOptionsLoadedBeforeTheHook) {
    SetThisModuleName(kThisModule);
    TVivavaModuleOptionsEx o(kThisModule, true);
    o.SetFreezeWatch(true);
    std::vector<bool> calls;
    o.OnWatchdog = [&](bool run) { calls.push_back(run); };
    o.SyncWatchdog();
    o.SyncWatchdog();
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
        EXPECT_EQ(blocks[1], o.ModuleBlock());
        EXPECT_EQ(blocks[1], '\x01' + Saved(o));
        TVivavaModuleOptions copy("", false);
        Load(copy, std::string_view(blocks[0]).substr(1));
        EXPECT_EQ(copy.MailPort(), 80);
        EXPECT_EQ(copy.MailUser(), "");
    }
}

TEST(OptionsExTest, ThreadsTogglingTheWatchdogStartAndStopItInTurn) {
    SetThisModuleName(kThisModule);
    TVivavaModuleOptionsEx o(kThisModule, true);
    std::vector<bool> calls;  // guarded by the options' own lock
    std::atomic<bool> inside{false};
    std::atomic<int> overlaps{0};
    o.OnWatchdog = [&](bool run) {
        // Stays a while, so that a second call at the same time would be seen.
        overlaps += inside.exchange(true) ? 1 : 0;
        std::this_thread::sleep_for(std::chrono::microseconds(100));
        calls.push_back(run);
        inside = false;
    };
    std::atomic<int> blocks{0};
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

// --- Log file names ------------------------------------------------------------

TEST(OptionsFilesTest, OutputFileAndLogFile) {
    const struct {
        const char* location;
        const char* name;
        const char* file;
    } cases[] = {
        {"", "C:\\Game\\updater.clg", "C:\\Game\\updater.clg"},
        {"D:\\logs", "C:\\Game\\updater.clg", "D:\\logs\\updater.clg"},
        {"D:\\logs\\", "C:\\Game\\updater.clg", "D:\\logs\\updater.clg"},
        {"D:/logs/", "C:\\Game\\updater.clg", "D:/logs/updater.clg"},
        {"D:", "C:\\Game\\updater.clg", "D:\\updater.clg"},
        {"D:\\logs\\all.CLG", "C:\\Game\\updater.clg", "D:\\logs\\all.CLG"},
        {"all.clg", "C:\\Game\\updater.clg", "all.clg"},
        {"D:\\logs.clg\\x", "C:\\Game\\u.clg", "D:\\logs.clg\\x\\u.clg"},
        {"D:\\logs.d", "C:\\Game\\u.clg", "D:\\logs.d\\u.clg"},
        {"", "updater.clg", "updater.clg"},
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
        const char* module;
        const char* location;
        const char* file;
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

// --- Text form -----------------------------------------------------------------

TEST(OptionsTextTest, ReadsValuesOfEveryKind) {
    const struct {
        const char* text;
        const char* field;
        std::string value;
    } cases[] = {
        {"ShowReport=false", "ShowReport", "0"},
        {"  FancyLook =  0  ", "FancyLook", "0"},
        {"MailPort=0x1F90", "MailPort", "8080"},
        {"LogFieldMask=4294967295", "LogFieldMask", "4294967295"},
        {"FreezeText=a\\r\\nb\\tc\\\\d", "FreezeText", "a\r\nb\tc\\d"},
        {"MailSubject=\x95\\n", "MailSubject", "\x95\\n"},
        {"MailBody=x=y", "MailBody", "x=y"},
        {"# comment\r\n\r\nTexts[70]=Dump\r\n", "Texts[70]", "Dump"},
        {"FilterClasses[0]=A\nFilterClasses[1]=B\nFilterClasses[0]=C", "FilterClasses", "C|B|"},
    };
    for (const auto& c : cases) {
        TVivavaModuleOptions o("", false);
        ReadOptionsText(c.text, o);
        EXPECT_EQ(StoredFields(o).at(c.field), c.value) << c.text;
    }
}

TEST(OptionsTextTest, ErrorsNameTheLineAndChangeNothing) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"ShowReport=1\n# x\nShowReports=1", "line 3: unknown key \"ShowReports\""},
        {"ReporterActive=0", "line 1: unknown key \"ReporterActive\""},
        {"ShowReport=2", "line 1: \"2\" is not 0, 1, false or true"},
        {"StartTab=256", "line 1: 256 is above 255"},
        {"MailPort=0x10000", "line 1: 0x10000 is above 65535"},
        {"LogCapacity=4294967296", "line 1: 4294967296 is above 4294967295"},
        {"LogCapacity=-1", "line 1: \"-1\" is not a number"},
        {"LogCapacity=", "line 1: \"\" is not a number"},
        {"MailPort=0x", "line 1: \"0x\" is not a number"},
        {"FreezeText=a\\x", "line 1: unknown escape \"\\x\""},
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
        const Fields before = StoredFields(o);
        EXPECT_EQ(ErrorOf<base::EConvertError>([&] { ReadOptionsText(c.text, o); }),
                  std::string("Options text, ") + c.message);
        EXPECT_EQ(StoredFields(o), before) << c.text;
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
    Fields expected = StoredFields(TVivavaModuleOptions("", false));
    expected["ReportFlags"] = "1";
    EXPECT_EQ(StoredFields(o), expected);
}

}  // namespace
}  // namespace exceptions
