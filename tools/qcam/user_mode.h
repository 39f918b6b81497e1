// What qcam does as a user-mode program of the simulated PC: loading the
// extension module as regsvr32 and the VfW-to-WDM mapper do, and reaching
// the camera's private interface through COM as a capture application does.
// Plain C++ types, so that the commands (which also hold the kernel side of
// the PC) can call it; the implementations include the Windows headers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qcam_tool {

// Where the package installs its extension module.
constexpr const char* kModuleWin32Path = "C:\\Windows\\System32\\qcamext.ax";

// "0x80070032 (text)": the HRESULT with the text AMGetErrorTextA gives, or
// "(no text for this code)".
std::string HresultText(uint32_t hr);

// Loads the installed module, calls its DllRegisterServer (or, with
// `unregister`, DllUnregisterServer) and lets it go again. *hr receives the
// entry's result, or the loader's failure as an HRESULT; *error says which
// step failed.
bool CallModuleRegistration(bool unregister, uint32_t* hr, std::string* error);

// The module's private-interface class is registered where COM looks for
// it (HKCR\CLSID, in the registry view of the PC's 32-bit programs).
bool ExtensionRegistered();

// Announces the extension for the camera device with that vendor and
// product id, as the camera's setup information does: IAMCustomCameraProp
// as an interface handler of the kernel-streaming proxy, and the module's
// four property pages as the device's page list.
bool AnnounceCameraExtension(uint16_t vendorId, uint16_t productId, std::string* error);

// Finds the camera as the extension's camera finder does (the system device
// enumerator's video input category, the first filter that answers
// IAMCustomCameraProp) and calls Get or Set with `payload` (its size is the
// length). Get fills `payload`; Set gives back word 0 in its first four
// bytes. False with *hr (and *error naming the failed step) on failure.
bool CallCustomCameraProp(bool set, uint32_t id, std::vector<uint8_t>* payload, uint32_t* hr, std::string* error);

// One page the module handed to the mapper's add-page routine.
struct VfwPage {
  int templateId = 0;        // its dialog template's resource id
  std::string templateName;  // or name
  std::string title;         // ANSI bytes in the PC's code page
};
// Plays the VfW-to-WDM mapper building its video-source dialog: loads the
// installed module, calls its VFWWDMExtension with an add-page routine that
// collects the pages, shows them in the "Video Source" property sheet
// (modeless), draws the sheet to `pngPath` when one is given, closes it with
// Cancel and lets the module go. *flags receives what the entry returned.
// False with *error at the first step that fails (the pages are released
// then too).
bool RunVfwMapper(const std::string& pngPath, uint32_t* flags, std::vector<VfwPage>* pages, std::string* error);

}  // namespace qcam_tool
