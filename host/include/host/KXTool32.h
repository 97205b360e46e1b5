// kxtool32: where the host data INI file is.
#pragma once

// The path of the host data INI file, or null when the host names none.
const char* GetKXDataIniFileName();
