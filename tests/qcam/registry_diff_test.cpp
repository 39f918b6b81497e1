// Registry changes read from two renderings of the registry.
#include <gtest/gtest.h>

#include "tools/qcam/registry_diff.h"

namespace {

using qcam_tool::DiffRegistryText;
using qcam_tool::RegistryChange;
using qcam_tool::RegistryChangeLine;

std::vector<std::string> Lines(const std::string& before, const std::string& after) {
  std::vector<std::string> lines;
  for (const RegistryChange& c : DiffRegistryText(before, after)) lines.push_back(RegistryChangeLine(c));
  return lines;
}

TEST(RegistryDiff, KeysThatCameWentOrChangedWithTheirSubtreesFolded) {
  const std::string before =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\A]\r\n\"x\"=dword:00000001\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\A\\Gone]\r\n@=\"old\"\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\A\\Gone\\Deeper]\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\Kept]\r\n\"v\"=\"same\"\r\n";
  const std::string after =
      "Windows Registry Editor Version 5.00\n\n"
      "[HKEY_LOCAL_MACHINE\\A]\n\"x\"=dword:00000002\n\n"
      "[HKEY_LOCAL_MACHINE\\A\\New]\n\n"
      "[HKEY_LOCAL_MACHINE\\A\\New\\Sub]\n\"y\"=hex:01,\\\n  02\n\n"
      "[HKEY_LOCAL_MACHINE\\Kept]\n\"v\"=\"same\"\n";
  EXPECT_EQ(Lines(before, after), (std::vector<std::string>{"- HKEY_LOCAL_MACHINE\\A\\Gone (and 1 subkey)",
                                                            "* HKEY_LOCAL_MACHINE\\A",
                                                            "+ HKEY_LOCAL_MACHINE\\A\\New (and 1 subkey)"}));
  // A subkey that came below a key that stayed is listed on its own; one
  // whose parent changed only its values is not folded into it.
  EXPECT_EQ(Lines("[K]\n\"a\"=\"1\"\n", "[K]\n\"a\"=\"2\"\n[K\\S]\n"),
            (std::vector<std::string>{"* K", "+ K\\S"}));
  EXPECT_TRUE(Lines(after, after).empty());
  // Any text: lines before the first key, stray brackets, no keys at all.
  EXPECT_TRUE(Lines("", "").empty());
  EXPECT_EQ(Lines("junk\n[\n]\n", "junk\n[]\n[X]\n"), (std::vector<std::string>{"+ ", "+ X"}));
}

}  // namespace
