// Case-insensitive fallback of the include search. Sources written on
// systems whose file names ignore case often include "Foo.h" for a file
// foo.h; when no file of the exact name exists anywhere on the search path,
// the search is repeated in the same order with each component of the name
// matched ignoring ASCII case. A component that exists as written is always
// taken as it is.
#pragma once
#include <string>

struct IncludeDir;

// The path below dir whose components match those of name ignoring case;
// dir itself is taken as given. An empty dir stands for the name alone
// (relative to the working directory, or absolute), whose every component is
// then matched. Either "/" or "\" separates components; the path found keeps
// the separators of dir and name. Only a regular file is a match.
bool pp_case_match(const std::string &dir, const std::string &name, std::string &path);

// The fallback pass over the order of the exact search: the name alone, then
// each chain entry from `from` on (entries standing for the bare name are
// passed over). found_in receives the entry that gave the file, or nullptr
// when the name alone did.
bool pp_case_search(const std::string &name, IncludeDir *from, std::string &path, IncludeDir *&found_in);

// Whether name was first found as path in this run: the information that
// names the file taken is given once for each, not at every analysis that
// meets the same directive again.
bool pp_case_first_use(const std::string &name, const std::string &path);
