// Replacing a file's content so that a reader, or a crash, sees the old or the new file,
// never a torn one.
#pragma once

#include <string_view>

namespace corvane {

// Writes the bytes to a temporary file beside the target, flushes and closes it, then
// renames it over the target. On any failure the temporary file is removed, the target is
// left as it was and false is returned.
bool ReplaceFileContent(const char* path, std::string_view bytes);

}  // namespace corvane
