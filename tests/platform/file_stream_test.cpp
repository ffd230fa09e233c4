#include "platform/file_stream.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/text.h"
#include "platform/files.h"

namespace platform {
namespace {

// A fresh folder under the test output folder, with "\" separators as the
// program's own paths have them.
std::string Folder(const std::string& name) {
    std::string dir = std::string(UPDATER_TEST_OUTPUT) + "/file-stream-" + name;
    for (char& c : dir) {
        if (c == '/') {
            c = '\\';
        }
    }
    return dir;
}

TEST(FileStream, WritesReadsSeeksAndResizesAFileWithAChineseName) {
    const std::string name = std::string(UPDATER_TEST_OUTPUT) + "\\升级文件.dat";
    {
        TFileStream out(name, fmCreate);
        out.WriteBuffer(std::string_view("0123456789"));
        EXPECT_EQ(out.Size(), 10);
        out.SetSize(6);
        EXPECT_EQ(out.Position(), 6);
        out.Seek(-2, base::SeekOrigin::End);
        out.WriteBuffer(std::string_view("ab"));
        out.Flush();
    }
    EXPECT_NE(FirstMatchLastWriteTime(name), 0u);
    TFileStream in(name, fmOpenRead);
    char buffer[16] = {};
    EXPECT_EQ(in.Read(buffer, sizeof buffer), 6);
    EXPECT_EQ(std::string(buffer, 6), "0123ab");
    EXPECT_EQ(in.Read(buffer, 4), 0);
    EXPECT_THROW(in.ReadBuffer(buffer, 1), base::EReadError);
}

TEST(FileStream, CreateTruncatesAnExistingFile) {
    const std::string name = Folder("truncate") + ".dat";
    {
        TFileStream out(name, fmCreate);
        out.WriteBuffer(std::string_view("long old content"));
    }
    { TFileStream out(name, fmCreate); }
    TFileStream in(name, fmOpenRead);
    EXPECT_EQ(in.Size(), 0);
}

TEST(FileStream, FailuresNameTheFileAsGiven) {
    const std::string missingDir = Folder("missing") + "\\no such folder\\a.txt";
    try {
        TFileStream out(missingDir, fmCreate);
        FAIL() << "created a file in a folder that does not exist";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + missingDir);
    }
    try {
        TFileStream in(UPDATER_TEST_OUTPUT, fmOpenRead);
        FAIL() << "opened a folder as a file";
    } catch (const EFOpenError&) {
    }
    const std::string missingFile = Folder("absent") + ".txt";
    try {
        TFileStream in(missingFile, fmOpenRead);
        FAIL() << "opened a file that does not exist";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file " + missingFile);
    }
}

bool Exists(const std::string& name) {
    return FirstMatchLastWriteTime(name) != 0;
}

TEST(WriteFileAtomically, ReplacesTheWholeFileAndLeavesNoTemporaryFile) {
    const std::string name = Folder("atomic") + "-新.dat";
    WriteFileAtomically(name, "first version");
    EXPECT_EQ(ReadWholeFile(name), "first version");
    WriteFileAtomically(name, "v2");
    EXPECT_EQ(ReadWholeFile(name), "v2");
    WriteFileAtomically(name, "");
    EXPECT_EQ(ReadWholeFile(name), "");
    EXPECT_FALSE(Exists(TemporaryNameFor(name)));
}

TEST(WriteFileAtomically, AFailureKeepsWhatWasThere) {
    const std::string missing = Folder("atomic-missing") + "\\no such folder\\a.dat";
    try {
        WriteFileAtomically(missing, "x");
        FAIL() << "wrote into a folder that does not exist";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + missing);
    }
    EXPECT_FALSE(Exists(TemporaryNameFor(missing)));

    // A folder where the file should be: the move fails, the folder and
    // what is in it stay.
    const std::string inside = Folder("atomic-kept") + ".dat";
    WriteFileAtomically(inside, "keep");
    const std::string blocked = std::string(UPDATER_TEST_OUTPUT);
    EXPECT_THROW(WriteFileAtomically(blocked, "x"), EFCreateError);
    EXPECT_FALSE(Exists(TemporaryNameFor(blocked)));
    EXPECT_EQ(ReadWholeFile(inside), "keep");
}

TEST(Files, AFolderOutsideGbkIsNamedExactly) {
    // Korean and an emoji: GBK holds neither, yet every file operation must
    // reach the folder, and messages name it with "?" for each of them.
    namespace fs = std::filesystem;
    const fs::path folder =
        fs::path(UPDATER_TEST_OUTPUT) / "file-stream-outside-gbk" / fs::path(u"게임 \U0001F3AE");
    fs::create_directories(folder);
    const fs::path before = fs::current_path();
    fs::current_path(folder);
    const std::u16string dir = CurrentDirectory();
    const std::u16string expected = fs::current_path().u16string();
    fs::current_path(before);
    EXPECT_EQ(dir, expected);
    EXPECT_TRUE(dir.ends_with(u"게임 \U0001F3AE"));

    const std::u16string name = dir + u"\\数据.dat";
    WriteFileAtomically(name, "content");
    EXPECT_NE(FirstMatchLastWriteTime(name), 0u);
    TFileStream in(name, fmOpenRead);
    EXPECT_TRUE(in.FileName().ends_with("?? ?\\数据.dat")) << in.FileName();
    char buffer[16] = {};
    EXPECT_EQ(in.Read(buffer, sizeof buffer), 7);
    EXPECT_EQ(std::string(buffer, 7), "content");
    try {
        WriteFileAtomically(dir + u"\\missing\\a.dat", "x");
        FAIL() << "wrote into a folder that does not exist";
    } catch (const EFCreateError& e) {
        EXPECT_TRUE(std::string(e.what()).ends_with("?? ?\\missing\\a.dat")) << e.what();
    }
}

// Bytes streamed in, started over, then moved in; the old file moved aside
// when asked; a file dropped before its commit leaves the old one.
TEST(ReplacingFile, StreamsStartsOverAndMovesTheOldFileAside) {
    const std::string gbk = Folder("replacing") + "-程序.exe";
    const std::u16string name(base::GbkToUtf16(gbk));
    WriteFileAtomically(name, "old");
    {
        TReplacingFile dropped(name);
        dropped.Stream().WriteBuffer("lost");
    }
    EXPECT_EQ(ReadWholeFile(name), "old");
    EXPECT_FALSE(Exists(TemporaryNameFor(gbk)));

    TReplacingFile file(name);
    file.Stream().WriteBuffer("garbage of a failed try");
    file.Restart();
    file.Stream().WriteBuffer("new");
    file.Commit(name + u".old");
    EXPECT_EQ(ReadWholeFile(name), "new");
    EXPECT_EQ(ReadWholeFile(name + u".old"), "old");
    EXPECT_FALSE(Exists(TemporaryNameFor(gbk)));
}

#ifdef _WIN32
TEST(WriteFileAtomically, AFileInUseKeepsItsContent) {
    const std::string name = Folder("atomic-locked") + ".exe";
    WriteFileAtomically(name, "running program");
    {
        TFileStream running(name, fmOpenRead);  // shared for reading only
        try {
            WriteFileAtomically(name, "new program");
            FAIL() << "replaced a file in use";
        } catch (const EFileInUse& e) {
            EXPECT_EQ(std::string(e.what()), "The file is in use: " + name);
        }
        // Not even moved aside: the program that holds it did not allow that.
        TReplacingFile file(base::GbkToUtf16(name));
        file.Stream().WriteBuffer("new program");
        EXPECT_THROW(file.Commit(base::GbkToUtf16(name + ".old")), EFileInUse);
    }
    EXPECT_EQ(ReadWholeFile(name), "running program");
    EXPECT_FALSE(Exists(TemporaryNameFor(name)));
}
#endif

}  // namespace
}  // namespace platform
