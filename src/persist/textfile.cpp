#include "persist/textfile.h"

bool ReadLine(std::istream&, std::string&) { return false; }
int ForEachListLine(const char*, int, const std::function<void(int, const std::string&)>&) { return 0; }
bool WriteFileAtomically(const std::string&, const std::string&) { return false; }
