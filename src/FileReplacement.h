// Replacing a file's content so that a reader, or a crash, sees the old or the new file,
// never a torn one.
#pragma once

#include <string_view>

namespace corvane {

// Writes the bytes to a new temporary file beside the target, puts them on the disk, closes
// the file, then renames it over the target and waits until the rename is on the disk too.
// The temporary name ends in ".tmp" and holds the process id and a per-process serial
// number; it is created exclusively, and a name that is taken (another writer's) makes it
// try the next one. On any failure the temporary file is removed, the target is left as it
// was and false is returned.
bool ReplaceFileContent(const char* path, std::string_view bytes);

}  // namespace corvane
