// The package installed with its extension module, and qcam as the
// module's users: regsvr32 (register), a capture application calling the
// private interface through COM (private), the VfW-to-WDM mapper (vfw), and
// the shell doing the same beside a running stream.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "platform/draw/reference_picture.h"
#include "platform/machine/dshow_control.h"
#include "platform/nt/platform_control.h"
#include "shared/qcam_defs.h"
#include "tests/qcam/qcam_test_files.h"
#include "tools/qcam/commands.h"

namespace {

namespace fs = std::filesystem;
using qcam_tool::Args;

using qcam_test::Outcome;
using qcam_test::RunCommand;

int Count(const std::string& text, const std::string& pattern) {
  const std::regex re(pattern);
  return int(std::distance(std::sregex_iterator(text.begin(), text.end(), re), std::sregex_iterator()));
}

constexpr const char* kClasses = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\";
constexpr const char* kHandler = "{3DC2E820-4713-11D2-BA41-00A0C90D2B05}";

TEST(Install, PutsTheModuleInPlaceRegistersAndAnnouncesItAndTwiceIsHarmless) {
  const std::string root = qcam_test::FreshDir("qcam_ext", "install");
  Outcome o = RunCommand(qcam_tool::CmdInstall, {"--root", root});
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_TRUE(fs::is_regular_file(root + "/Windows/System32/qcamext.ax"));
  EXPECT_TRUE(fs::is_regular_file(root + "/Windows/System32/QCAMCFG.ini"));
  ASSERT_TRUE(platform::SetRoot(root));
  EXPECT_TRUE(platform::RegKeyExists(std::string(kClasses) + kHandler + "\\InprocServer32"));
  // The system's own classes, with the module's: the device enumerator.
  EXPECT_TRUE(platform::RegKeyExists(std::string(kClasses) + "{62BE5D10-60EB-11D0-BD3B-00A0C911CE86}"));
  for (uint16_t product : {0x9710, 0x9711}) {
    const auto handlers = platform::AnnouncedInterfaceHandlers(0x1B3F, product);
    ASSERT_EQ(handlers.size(), 1u);
    EXPECT_EQ(handlers[0].first, kHandler);
    EXPECT_EQ(handlers[0].second, kHandler);
    EXPECT_EQ(platform::AnnouncedPropertyPages(0x1B3F, product),
              (std::vector<std::string>{"{10C5EE30-5651-4E03-AF63-7AFAAD73A53A}", "{10C5EE31-5651-4E03-AF63-7AFAAD73A53A}",
                                        "{10C5EE32-5651-4E03-AF63-7AFAAD73A53A}",
                                        "{99999999-5651-4E03-AF63-7AFAAD73A53A}"}));
  }
  // A second install keeps the values a user changed and leaves the rest as it was.
  ASSERT_TRUE(platform::RegSetDword(qcam::kKeyCurrentA, "Brightness", 17));
  const std::string registry = platform::RenderRegistryText();
  o = RunCommand(qcam_tool::CmdInstall, {"--root", root});
  ASSERT_EQ(o.status, 0) << o.err;
  ASSERT_TRUE(platform::SetRoot(root));
  EXPECT_EQ(platform::RenderRegistryText(), registry);
  EXPECT_EQ(RunCommand(qcam_tool::CmdInstall, {"--root", root, "--camera", "basic"}).status, 2);
}

TEST(Register, UnregisterRemovesExactlyTheFiveClassKeysAndRegisterBringsThemBack) {
  const std::string root = qcam_test::FreshDir("qcam_ext", "register");
  // Without the module there is nothing to load.
  Outcome o = RunCommand(qcam_tool::CmdRegister, {"--root", root});
  EXPECT_EQ(o.status, 2);
  EXPECT_NE(o.err.find("cannot load C:\\Windows\\System32\\qcamext.ax"), std::string::npos) << o.err;
  ASSERT_EQ(RunCommand(qcam_tool::CmdInstall, {"--root", root}).status, 0);

  o = RunCommand(qcam_tool::CmdRegister, {"--root", root, "--unregister"});
  ASSERT_EQ(o.status, 0) << o.err;
  const std::string removed =
      "- HKEY_LOCAL_MACHINE\\\\SOFTWARE\\\\Classes\\\\CLSID\\\\\\{[0-9A-F-]{36}\\} \\(and 1 subkey\\)\n";
  EXPECT_EQ(Count(o.out, "(^|\n)[-+*] "), 5) << o.out;
  EXPECT_EQ(Count(o.out, removed), 5) << o.out;
  for (const char* clsid : {kHandler, "{10C5EE30-5651-4E03-AF63-7AFAAD73A53A}", "{10C5EE31-5651-4E03-AF63-7AFAAD73A53A}",
                            "{10C5EE32-5651-4E03-AF63-7AFAAD73A53A}", "{99999999-5651-4E03-AF63-7AFAAD73A53A}"})
    EXPECT_NE(o.out.find(std::string("CLSID\\") + clsid + " "), std::string::npos) << clsid;
  EXPECT_NE(o.out.find("DllUnregisterServer returned S_OK; 5 keys removed"), std::string::npos) << o.out;
  ASSERT_TRUE(platform::SetRoot(root));
  EXPECT_FALSE(platform::RegKeyExists(std::string(kClasses) + kHandler));

  o = RunCommand(qcam_tool::CmdRegister, {"--root", root});
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(Count(o.out, "(^|\n)\\+ "), 5) << o.out;
  o = RunCommand(qcam_tool::CmdRegister, {"--root", root});
  EXPECT_NE(o.out.find("the registry is as it was"), std::string::npos) << o.out;
  EXPECT_EQ(RunCommand(qcam_tool::CmdRegister, {"--root", root, "--unregister=yes"}).status, 2);
  EXPECT_EQ(RunCommand(qcam_tool::CmdRegister, {}).status, 2);
}

TEST(Private, ReachesTheDriverThroughComWithAndWithoutAStream) {
  const std::string root = qcam_test::FreshDir("qcam_ext", "private");
  // Installs on first use; the stream's format and size are what 1 and 2 report.
  Outcome o = RunCommand(qcam_tool::CmdPrivate, {"--root", root, "--stream", "YUY2:640x480", "get", "1"});
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out.rfind("word[0]=2 word[1]=0 ", 0), 0u) << o.out;
  EXPECT_EQ(Count(o.out, "word\\["), 17) << "68 bytes are 17 words";
  o = RunCommand(qcam_tool::CmdPrivate, {"--root", root, "get", "2", "--stream=MJPG:320x240", "--length", "8"});
  EXPECT_EQ(o.out, "word[0]=76800 word[1]=0\n") << o.err;
  o = RunCommand(qcam_tool::CmdPrivate, {"--root", root, "get", "0", "--length", "6"});
  EXPECT_EQ(o.out, "word[0]=17154 word[1]=0\n") << "0x4302, and the two bytes of word 1";

  // Set gives back word 0; the camera keeps the mirror for the next command.
  o = RunCommand(qcam_tool::CmdPrivate, {"--root", root, "set", "7", "1"});
  EXPECT_EQ(o.out, "word[0]=1\n") << o.err;
  o = RunCommand(qcam_tool::CmdProps, {"--root", root, "get", "mirror"});
  EXPECT_TRUE(std::regex_search(o.out, std::regex("mirror\\s+1 "))) << o.out;

  // Failures print the HRESULT and its text.
  o = RunCommand(qcam_tool::CmdPrivate, {"--root", root, "get", "5", "--length", "1089"});
  EXPECT_EQ(o.status, 2);
  EXPECT_NE(o.err.find("0x80070057"), std::string::npos) << o.err;
  o = RunCommand(qcam_tool::CmdPrivate, {"--root", root, "set", "18", "5", "0"});
  EXPECT_EQ(o.status, 2);
  EXPECT_NE(o.err.find("Set of property 18 failed: 0x80070032"), std::string::npos) << o.err;
  // A camera whose setup announced no extension has no private interface.
  o = RunCommand(qcam_tool::CmdPrivate, {"--root", root, "--camera",
                                         std::string(QCAM_TESTDATA_DIR) + "/cameras/trust_webcam_0c45_6340.bin", "get",
                                         "0"});
  EXPECT_EQ(o.status, 2);
  EXPECT_NE(o.err.find("no camera answers IAMCustomCameraProp"), std::string::npos) << o.err;

  for (const Args& bad : std::vector<Args>{{"get"},
                                           {"get", "x"},
                                           {"get", "1", "2"},
                                           {"set", "7"},
                                           {"set", "7", "1", "2", "3", "--length", "8"},
                                           {"set", "7", "0x100000000"},
                                           {"get", "1", "--length", "-1"},
                                           {"get", "1", "--stream", "YUY2"},
                                           {"get", "1", "--stream", "YUY2:1x1"},
                                           {"frob", "1"}}) {
    Args args = {"--root", root};
    args.insert(args.end(), bad.begin(), bad.end());
    EXPECT_EQ(RunCommand(qcam_tool::CmdPrivate, args).status, 2) << args[2] << " " << args[3];
  }
  EXPECT_EQ(RunCommand(qcam_tool::CmdPrivate, {"get", "0"}).status, 2);
}

TEST(Private, A32BitClientOn64BitWindowsFindsTheModuleInItsOwnView) {
  const std::string root = qcam_test::FreshDir("qcam_ext", "wow64");
  ASSERT_EQ(RunCommand(qcam_tool::CmdInstall, {"--root", root}).status, 0);
  ASSERT_EQ(RunCommand(qcam_tool::CmdPc, {"--root", root, "--wow64", "on"}).status, 0);
  // The native registration is out of a 32-bit program's sight: the command
  // registers the module again, into the 32-bit view, and gets through.
  const Outcome o = RunCommand(qcam_tool::CmdPrivate, {"--root", root, "get", "0", "--length", "4"});
  EXPECT_EQ(o.out, "word[0]=17154\n") << o.err;
  ASSERT_TRUE(platform::SetRoot(root));
  EXPECT_TRUE(platform::RegKeyExists(std::string("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\WOW6432Node\\CLSID\\") +
                                     kHandler + "\\InprocServer32"));
  ASSERT_EQ(RunCommand(qcam_tool::CmdPc, {"--root", root, "--wow64", "off"}).status, 0);
}

TEST(Vfw, TheMapperGetsThreePagesAndTheFlagsAndTheSheetIsDrawn) {
  const std::string root = qcam_test::FreshDir("qcam_ext", "vfw");
  const std::string png = root + "-sheet.png";
  Outcome o = RunCommand(qcam_tool::CmdVfw, {"--root", root, "--stream", "YUY2:320x240", "--out", png});
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("VFWWDMExtension returned 0x80000005\n"), std::string::npos) << o.out;
  EXPECT_EQ(Count(o.out, "page \\d: template \\d+, title \"[^\"]+\"\n"), 3) << o.out;
  EXPECT_NE(o.out.find("title \"Camera Settings\""), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("page 2: template 107, title \"Special Effects\""), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("title \"Digital Zoom\""), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("the sheet closed with Cancel"), std::string::npos) << o.out;
  // The sheet as the module's templates, captions and the camera's values
  // make it, against the picture a person checked.
  draw::Image drawn;
  std::string error, report;
  ASSERT_TRUE(draw::ReadPng(png, &drawn, &error)) << error;
  const draw::ReferenceOutcome outcome = draw::CompareWithReference(
      drawn, std::string(QCAM_SOURCE_DIR) + "/tests/qcam/golden/vfw_sheet.png", root + "-actual.png", &report);
  if (outcome != draw::ReferenceOutcome::Rewritten) {
    EXPECT_EQ(outcome, draw::ReferenceOutcome::Matches) << report;
  }
  o = RunCommand(qcam_tool::CmdVfw, {"--root", root, "--out", "/no/such/folder/sheet.png"});
  EXPECT_EQ(o.status, 2);
  EXPECT_NE(o.err.find("/no/such/folder/sheet.png"), std::string::npos) << o.err;

  // Without the localisation file the extension adds no page, yet still
  // hides the mapper's own pages.
  fs::remove(root + "/Windows/System32/QCAMCFG.ini");
  o = RunCommand(qcam_tool::CmdVfw, {"--root", root});
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("0x80000005\nno pages: the sheet is not shown"), std::string::npos) << o.out;
  EXPECT_EQ(RunCommand(qcam_tool::CmdVfw, {"--root", root, "--out"}).status, 2);
  EXPECT_EQ(RunCommand(qcam_tool::CmdVfw, {"--root", root, "--stream", "H264:640x480"}).status, 2);
}

}  // namespace
