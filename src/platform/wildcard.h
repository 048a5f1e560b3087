#pragma once
// File-name masks and fixed names, matched without regard to letter case as the system always
// did: "*.XML" selects "jrn.xml" too.

#include <optional>
#include <string>
#include <string_view>

namespace tw::platform {

// True when name matches mask: '*' stands for any run of characters (also none), '?' for
// exactly one. "*.*" and an empty mask match every name. ASCII letters compare without
// regard to case; other bytes compare exactly.
bool MatchMask(std::string_view mask, std::string_view name);

// ASCII case-insensitive equality.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// text with its ASCII letters upper-cased (other bytes as they are), as names are upper-cased.
std::string UpperCaseAscii(std::string_view text);

// The name under which a fixed file name exists in directory: the exact name when it exists,
// else the first entry equal to it without regard to case, else nullopt. Returns the name only
// (no directory). Used for names the program opens ("SETUP.001", "ILG.XML"); names the program
// creates use their own exact case.
std::optional<std::string> FindExistingName(const std::string& directory, std::string_view name);

// JoinPath(directory, FindExistingName(...)) when found, else JoinPath(directory, name), so a
// caller that goes on to create the file uses the exact defined case.
std::string ExistingOrExactPath(const std::string& directory, std::string_view name);

}  // namespace tw::platform
