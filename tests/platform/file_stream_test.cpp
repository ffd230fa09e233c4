#include "platform/file_stream.h"

#include <gtest/gtest.h>

#include <string>

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
    const std::string missingFile = Folder("absent") + ".txt";
    try {
        TFileStream in(missingFile, fmOpenRead);
        FAIL() << "opened a file that does not exist";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file " + missingFile);
    }
}

}  // namespace
}  // namespace platform
