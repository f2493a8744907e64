// One run at a time per output: an exclusive lock on a lock file beside the output.
#pragma once

#include <string>

#include "error.h"

namespace zentrel {

/// Another run holds the output: nothing has been written by this one.
class OutputBusy : public Error {
public:
    using Error::Error;
};

/// Holds the lock of an output (a file or a folder of files) while it lives. The lock is an
/// flock on "NAME.lock" beside the output, which records the holder's process id and is
/// removed on release. A second run that asks for the same output is refused at once, so two
/// runs never tear one file or mix their files in one folder. No lock is taken for "-" nor
/// for a device or FIFO, and none where no lock file can be made (a folder the user cannot
/// write: the output's own write then fails with its own message).
class OutputLock {
public:
    /// Throws OutputBusy naming the output (and the holder's process id when known) when another
    /// run holds its lock.
    explicit OutputLock(const std::string& output);
    ~OutputLock();
    OutputLock(const OutputLock&) = delete;
    OutputLock& operator=(const OutputLock&) = delete;

    /// The lock file, "" when no lock was taken.
    const std::string& lockFile() const { return lockFile_; }

private:
    int fd_ = -1;
    std::string lockFile_;
};

/// The lock file of an output: "NAME.lock" beside the file or folder it resolves to.
std::string outputLockFile(const std::string& output);

}  // namespace zentrel
