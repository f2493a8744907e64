// Output files: special files written in place, links followed, whole files or the old ones,
// and one run per output.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <thread>

#include "error.h"
#include "files/output_file.h"
#include "files/output_lock.h"
#include "fixture.h"

using namespace zentrel;
using zentrel::test::TempFolder;
using zentrel::test::readFile;


TEST(OutputFile, FifoTargetStaysAFifoAndReceivesTheBytes) {
    TempFolder folder("out-fifo");
    const std::string fifo = folder.file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = readFile(fifo); });
    writeOutputFile(fifo, "one\r\ntwo\r\n");
    reader.join();
    EXPECT_EQ(received, "one\r\ntwo\r\n");
    struct stat st {};
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "the FIFO was replaced by a regular file";
}

TEST(OutputFile, SymlinkIsFollowedAndStaysALink) {
    TempFolder folder("out-link");
    folder.write("real.txt", "old");
    std::filesystem::create_symlink("real.txt", folder.path() / "link.txt");
    writeOutputFile(folder.file("link.txt"), "new");
    EXPECT_TRUE(std::filesystem::is_symlink(folder.path() / "link.txt"));
    EXPECT_EQ(readFile(folder.file("real.txt")), "new");
    // A link that points nowhere yet makes its target.
    std::filesystem::create_symlink("later.txt", folder.path() / "dangling");
    writeOutputFile(folder.file("dangling"), "made");
    EXPECT_TRUE(std::filesystem::is_symlink(folder.path() / "dangling"));
    EXPECT_EQ(readFile(folder.file("later.txt")), "made");
}

// Writers that create their file by name (the GeoTIFF and netCDF surfaces) get a part beside
// the real file or, for a special file, in the temporary folder; committing keeps both kinds.
TEST(OutputFile, PartsOfNamedWritersKeepLinksAndSpecialFiles) {
    TempFolder folder("out-part");
    folder.write("real.tif", "old");
    std::filesystem::create_symlink("real.tif", folder.path() / "link.tif");
    const std::string part = outputPartPath(folder.file("link.tif"), ".part");
    EXPECT_EQ(part, folder.file("real.tif") + ".part");
    std::ofstream(part, std::ios::binary) << "new";
    commitOutputPart(folder.file("link.tif"), part);
    EXPECT_TRUE(std::filesystem::is_symlink(folder.path() / "link.tif")) << "the link was replaced";
    EXPECT_EQ(readFile(folder.file("real.tif")), "new");
    EXPECT_FALSE(std::filesystem::exists(part));

    const std::string fifo = folder.file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string fifoPart = outputPartPath(fifo, ".part");
    EXPECT_NE(std::filesystem::path(fifoPart).parent_path(), folder.path()) << "a part beside a FIFO";
    std::ofstream(fifoPart, std::ios::binary) << "surface";
    std::string received;
    std::thread reader([&] { received = readFile(fifo); });
    commitOutputPart(fifo, fifoPart);
    reader.join();
    EXPECT_EQ(received, "surface");
    struct stat st {};
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "the FIFO was replaced by a regular file";
    EXPECT_FALSE(std::filesystem::exists(fifoPart));
}

// Both ways of writing (bytes at once, or a part a named writer fills) replace a file; the
// replacement keeps the old file's permissions, while a new file gets the umask's.
TEST(OutputFile, ReplacedFileKeepsItsPermissions) {
    TempFolder folder("out-mode");
    for (const mode_t mode : {0600, 0640, 0755}) {
        for (const bool named : {false, true}) {
            SCOPED_TRACE(std::to_string(mode) + (named ? " named writer" : " bytes"));
            const std::string file = folder.file("kept.txt");
            folder.write("kept.txt", "old");
            ASSERT_EQ(::chmod(file.c_str(), mode), 0);
            if (named) {
                const std::string part = outputPartPath(file, ".part");
                std::ofstream(part, std::ios::binary) << "new";
                commitOutputPart(file, part);
            } else {
                writeOutputFile(file, "new");
            }
            struct stat st {};
            ASSERT_EQ(::stat(file.c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 07777, mode);
            EXPECT_EQ(readFile(file), "new");
        }
    }
}

TEST(OutputFile, FolderTargetIsRefusedByName) {
    TempFolder folder("out-dir");
    std::filesystem::create_directory(folder.path() / "sub");
    try {
        writeOutputFile(folder.file("sub"), "x");
        FAIL() << "a folder was accepted as an output file";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("sub\": it is a folder"), std::string::npos) << e.what();
    }
}

TEST(OutputFile, FullDiskKeepsTheOldFileAndLeavesNoPart) {
    TempFolder folder("out-full");
    folder.write("map.txt", "old contents");
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1000, 1000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        try {
            writeOutputFile(folder.file("map.txt"), std::string(5000, 'x'));
        } catch (const Error&) {
            ::_exit(1);
        }
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1) << "the write past the limit was not reported";
    EXPECT_EQ(readFile(folder.file("map.txt")), "old contents");
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder.path())) ++entries;
    EXPECT_EQ(entries, 1) << "a part file stayed behind";
}

TEST(OutputLock, SecondRunOnOneOutputIsRefusedNamingItAndTheHolder) {
    TempFolder folder("out-lock");
    const std::string out = folder.file("same.csv");
    {
        const OutputLock first(out);
        EXPECT_EQ(first.lockFile(), out + ".lock");
        try {
            const OutputLock second(out);
            FAIL() << "two runs hold one output";
        } catch (const Error& e) {
            const std::string m = e.what();
            EXPECT_NE(m.find("The output " + out + " is being written by another run (process " +
                             std::to_string(::getpid()) + ")"),
                      std::string::npos)
                << m;
        }
        const OutputLock other(folder.file("other.csv"));  // another output is free
    }
    EXPECT_FALSE(std::filesystem::exists(out + ".lock")) << "the lock file stayed behind";
    const OutputLock again(out);
    EXPECT_FALSE(again.lockFile().empty());
}

TEST(OutputLock, FolderOutputLocksBesideTheFolderAndStdoutTakesNone) {
    TempFolder folder("out-lockdir");
    std::filesystem::create_directory(folder.path() / "zte");
    const OutputLock lock(folder.file("zte") + "/");
    EXPECT_EQ(lock.lockFile(), folder.file("zte.lock"));
    EXPECT_THROW(OutputLock(folder.file("zte")), Error);
    EXPECT_TRUE(OutputLock("-").lockFile().empty());
}
