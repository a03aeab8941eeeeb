// Date of the run as printed in the script header.
#pragma once
#include <string>

// Current local time in the C library's ctime form without its line end,
// such as "Sat Dec  5 05:19:38 2026".
void date_text(std::string &buffer);
