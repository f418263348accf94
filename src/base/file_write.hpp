// Writing bytes to files: the one write loop, and the replacement of a whole file.
#pragma once

#include <string_view>

#include "base/error.hpp"

namespace velm::base {

// Writes all of `data` to the descriptor, resuming after partial writes and interrupted calls.
// 0 when everything was written, else the errno of the write that failed.
int write_all(int fd, std::string_view data);

// Replaces the file at `path` with `data`. The text is written to a new unnamed file beside the
// target (O_TMPFILE; a named temporary file where the file system has none), named once complete
// and renamed over the target, so a failure at any step, or the process being killed, leaves the
// previous file as it was and no stray file. A symbolic link at `path` is followed: the file it
// points to is the one replaced. A device node or a FIFO is written directly, as a plain write
// would. An existing file is replaced only where the process could open it for writing, and the
// new one takes its permission bits (and, where the process may set them, its owner and group).
// Failure: write_failed, its detail the system's text of the failed step ("Permission denied (os
// error 13)").
Expected<void> replace_file(std::string_view path, std::string_view data);

}  // namespace velm::base
