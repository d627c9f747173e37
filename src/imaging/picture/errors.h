// SPDX-License-Identifier: GPL-3.0-or-later
// Errors the user sees. Their text is a finished sentence in the user's
// words; the window shows it in a message box, the command-line companion
// on standard error.
#pragma once

#include <stdexcept>
#include <string>

namespace hueline {

// Something the user asked for could not be done; nothing was changed.
class UserError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A picture file could not be read or written. The message names the file
// and the reason: "Cannot open photo.bmp: the file ends before its pixels."
class FileError : public UserError {
public:
    FileError(const std::string& file, const std::string& reason)
        : UserError(reason.empty() ? file : file + ": " + reason), file_(file), reason_(reason) {}
    const std::string& file() const { return file_; }
    const std::string& reason() const { return reason_; }

private:
    std::string file_;
    std::string reason_;
};

}  // namespace hueline
