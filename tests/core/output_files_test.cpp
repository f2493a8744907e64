// Output files: special files written in place, links followed, whole files or the old ones,
// and one run per output.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <thread>

#include "error.h"
#include "files/output_file.h"
#include "files/output_lock.h"
#include "fixture.h"

using namespace zentrel;
using namespace zentrel::test;
namespace fs = std::filesystem;

namespace {

// Replaces `file` as the byte writers do (`named` false), or as the writers that create their
// file by name do (the GeoTIFF and netCDF surfaces: a part filled, then committed). Gives the part.
std::string replaceFile(const std::string& file, const std::string& text, bool named) {
    if (!named) {
        writeOutputFile(file, text);
        return "";
    }
    const std::string part = outputPartPath(file, ".part");
    std::ofstream(part, std::ios::binary) << text;
    commitOutputPart(file, part);
    return part;
}

}  // namespace

// A FIFO or a link stays what it is and receives the bytes; a named writer's part lies beside
// the link's real file, or in the temporary folder for a FIFO, and is gone after the commit.
TEST(OutputFile, FifoAndSymlinkTargetsStayWhatTheyAreAndReceiveTheBytes) {
    for (const bool named : {false, true}) {
        SCOPED_TRACE(named ? "named writer" : "bytes");
        TempFolder folder("out-special");
        const std::string fifo = folder.file("pipe");
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        std::string received;
        std::thread reader([&] { received = readFile(fifo); });
        std::string part = replaceFile(fifo, "one\r\ntwo\r\n", named);
        reader.join();
        EXPECT_EQ(received, "one\r\ntwo\r\n");
        EXPECT_EQ(fs::symlink_status(fifo).type(), fs::file_type::fifo) << "the FIFO was replaced";
        EXPECT_TRUE(!named || (fs::path(part).parent_path() != folder.path() && !fs::exists(part))) << "a part beside a FIFO, or left: " << part;

        folder.write("real.txt", "old");
        fs::create_symlink("real.txt", folder.path() / "link.txt");
        part = replaceFile(folder.file("link.txt"), "new", named);
        EXPECT_TRUE(fs::is_symlink(folder.path() / "link.txt")) << "the link was replaced";
        EXPECT_EQ(readFile(folder.file("real.txt")), "new");
        EXPECT_TRUE(!named || (part == folder.file("real.txt") + ".part" && !fs::exists(part))) << part;
        // A link that points nowhere yet makes its target.
        fs::create_symlink("later.txt", folder.path() / "dangling");
        replaceFile(folder.file("dangling"), "made", named);
        EXPECT_TRUE(fs::is_symlink(folder.path() / "dangling") && readFile(folder.file("later.txt")) == "made");
    }
}

// The replacement keeps the old file's permissions, while a new file gets the umask's.
TEST(OutputFile, ReplacedFileKeepsItsPermissions) {
    TempFolder folder("out-mode");
    for (const mode_t mode : {0600, 0640, 0755}) {
        for (const bool named : {false, true}) {
            SCOPED_TRACE(std::to_string(mode) + (named ? " named writer" : " bytes"));
            const std::string file = folder.file("kept.txt");
            folder.write("kept.txt", "old");
            ASSERT_EQ(::chmod(file.c_str(), mode), 0);
            replaceFile(file, "new", named);
            struct stat st {};
            ASSERT_EQ(::stat(file.c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 07777, mode);
            EXPECT_EQ(readFile(file), "new");
        }
    }
}

TEST(OutputFile, FolderTargetIsRefusedByNameAndAFullDiskKeepsTheOldFileWithoutAPart) {
    TempFolder folder("out-fail");
    fs::create_directory(folder.path() / "sub");
    const std::string message = errorOf([&] { writeOutputFile(folder.file("sub"), "x"); });
    EXPECT_NE(message.find("sub\": it is a folder"), std::string::npos) << message;

    folder.write("map.txt", "old contents");
    EXPECT_TRUE(reportsFullDisk(1000, [&] { writeOutputFile(folder.file("map.txt"), std::string(5000, 'x')); }))
        << "the write past the limit was not reported";
    EXPECT_EQ(readFile(folder.file("map.txt")), "old contents");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), {}), 2) << "a part file stayed behind";
}

TEST(OutputLock, SecondRunOnOneOutputIsRefusedNamingItAndTheHolder) {
    TempFolder folder("out-lock");
    const std::string out = folder.file("same.csv");
    {
        const OutputLock first(out);
        EXPECT_EQ(first.lockFile(), out + ".lock");
        const std::string message = errorOf([&] { const OutputLock second(out); });
        EXPECT_NE(message.find("The output " + out + " is being written by another run (process " +
                               std::to_string(::getpid()) + ")"),
                  std::string::npos)
            << message;
        const OutputLock other(folder.file("other.csv"));  // another output is free
    }
    EXPECT_FALSE(fs::exists(out + ".lock")) << "the lock file stayed behind";
    EXPECT_FALSE(OutputLock(out).lockFile().empty());
}

TEST(OutputLock, FolderOutputLocksBesideTheFolderAndStdoutTakesNone) {
    TempFolder folder("out-lockdir");
    fs::create_directory(folder.path() / "zte");
    const OutputLock lock(folder.file("zte") + "/");
    EXPECT_EQ(lock.lockFile(), folder.file("zte.lock"));
    EXPECT_THROW(OutputLock(folder.file("zte")), Error);
    EXPECT_TRUE(OutputLock("-").lockFile().empty());
}
