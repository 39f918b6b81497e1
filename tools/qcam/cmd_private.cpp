// qcam private: one request of the driver's private property set sent the
// way the package's user-mode clients send it: the camera found through the
// system device enumerator, its capture filter queried for the extension's
// IAMCustomCameraProp, and Get or Set called through COM. With --stream a
// capture stream runs meanwhile, as when a capture application holds the
// camera.
#include <cstdio>

#include "tools/qcam/commands.h"
#include "tools/qcam/common.h"
#include "tools/qcam/package.h"
#include "tools/qcam/shell.h"
#include "tools/qcam/user_mode.h"

namespace qcam_tool {
namespace {

const char kUsage[] =
    "usage: qcam private --root DIR [--camera PROFILE|FILE] [--stream FORMAT:WxH] get ID [--length N]\n"
    "       qcam private --root DIR [--camera PROFILE|FILE] [--stream FORMAT:WxH] set ID WORD... [--length N]\n"
    "Installs the package if needed, plugs the camera in and calls IAMCustomCameraProp::Get or\n"
    "Set for property ID with a payload of N bytes (default 68) holding the WORDs (32-bit,\n"
    "decimal or 0x hex). Prints the payload words Get returns, or word 0 that Set gives back;\n"
    "a failure prints the HRESULT and its text. --stream keeps a capture stream running\n"
    "during the call (formats MJPG, YUY2, I420, RGB24).\n";

constexpr long long kDefaultLength = 68;
// Far beyond what the interface takes (1088 bytes), so that its own refusal
// of an overlong request can be seen.
constexpr long long kMaxLength = 65536;

struct PrivateCall {
  bool set = false;
  uint32_t id = 0;
  uint32_t length = kDefaultLength;
  std::vector<uint32_t> words;
  std::string stream;  // FORMAT:WxH, or empty
};

bool ParseWord(const std::string& text, uint32_t* value) {
  long long v = 0;
  if (!ParseIntOrHex(text, INT32_MIN, UINT32_MAX, &v)) return false;
  *value = uint32_t(v);
  return true;
}

// The words after the PC options: get|set ID [WORD...], with --length and
// --stream among them.
bool ParseCall(const ParsedOptions& opts, const Args& words, PrivateCall* call, std::string* error) {
  if (words.empty() || (words[0] != "get" && words[0] != "set")) {
    *error = "private needs 'get ID' or 'set ID WORD...'";
    return false;
  }
  call->set = words[0] == "set";
  if (words.size() < 2 || !ParseWord(words[1], &call->id)) {
    *error = "private " + words[0] + " needs a property id (a number)";
    return false;
  }
  if (!call->set && words.size() > 2) {
    *error = "private get takes no words (only --length N)";
    return false;
  }
  if (call->set && words.size() < 3) {
    *error = "private set needs at least one word";
    return false;
  }
  for (size_t i = 2; i < words.size(); ++i) {
    uint32_t w = 0;
    if (!ParseWord(words[i], &w)) {
      *error = "bad word '" + words[i] + "' (a 32-bit number, decimal or 0x hex)";
      return false;
    }
    call->words.push_back(w);
  }
  long long length = kDefaultLength;
  if (opts.Has("length") && !ParseInt(opts.Get("length"), 0, kMaxLength, &length)) {
    *error = "bad length '" + opts.Get("length") + "' (0 to " + std::to_string(kMaxLength) + " bytes)";
    return false;
  }
  call->length = uint32_t(length);
  if (call->words.size() * 4 > call->length) {
    *error = std::to_string(call->words.size()) + " words need a length of at least " +
             std::to_string(call->words.size() * 4) + " bytes";
    return false;
  }
  call->stream = opts.Get("stream");
  return true;
}

std::string WordsText(const std::vector<uint8_t>& payload, size_t count) {
  std::string text;
  for (size_t i = 0; i < count; ++i) {
    uint32_t w = 0;
    for (size_t b = 0; b < 4 && i * 4 + b < payload.size(); ++b) w |= uint32_t(payload[i * 4 + b]) << (8 * b);
    text += (i ? " word[" : "word[") + std::to_string(i) + "]=" + std::to_string(int32_t(w));
  }
  return text;
}

// Runs one call on the plugged camera, with a stream of its own when asked for.
int RunPrivate(CameraSession& session, BackgroundStream& stream, const PrivateCall& call) {
  if (!session.classDriver || !session.classDriver->Plugged()) return Fail("private: no camera is plugged in");
  std::string error;
  StreamForWork held(stream, *session.classDriver, call.stream);
  if (!held.Ok(&error)) return Fail("private: " + error);
  std::vector<uint8_t> payload(call.length, 0);
  for (size_t i = 0; i < call.words.size(); ++i)
    for (size_t b = 0; b < 4; ++b) payload[i * 4 + b] = uint8_t(call.words[i] >> (8 * b));
  uint32_t hr = 0;
  const bool ok = CallCustomCameraProp(call.set, call.id, &payload, &hr, &error);
  if (!ok) return Fail("private: " + error + ": " + HresultText(hr));
  std::printf("%s\n", WordsText(payload, call.set ? 1 : (payload.size() + 3) / 4).c_str());
  return 0;
}

}  // namespace

int CmdPrivate(const Args& args) {
  ParsedOptions opts;
  Args words;
  std::string error;
  if (!ParseOptions(args, {{"root", true}, {"camera", true}, {"stream", true}, {"length", true}, {"help", false}},
                    &opts, &error, &words))
    return Fail("private: " + error);
  if (opts.Has("help")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  const std::string root = opts.Get("root");
  if (root.empty()) return Fail("private needs --root DIR");
  PrivateCall call;
  if (!ParseCall(opts, words, &call, &error)) return Fail(error);
  if (!EnsurePackageInstalled(root, &error)) return Fail(error);
  sim::CameraOptions options;
  CameraOptionsFromArgs(opts, &options);
  CameraSession session;
  if (!PlugCamera(root, options, &session, &error)) return Fail(error);
  BackgroundStream stream;
  return RunPrivate(session, stream, call);
}

int ShellPrivate(Shell& shell, const Args& args) {
  ParsedOptions opts;
  Args words;
  std::string error;
  PrivateCall call;
  if (!ParseOptions(args, {{"stream", true}, {"length", true}}, &opts, &error, &words) ||
      !ParseCall(opts, words, &call, &error))
    return Fail("private: " + error);
  return RunPrivate(shell.session, shell.stream, call);
}

}  // namespace qcam_tool
