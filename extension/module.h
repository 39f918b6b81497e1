// The qcamext module's process-wide state: the instance handle and platform
// id stored at process attach, the active-object and server-lock counts that
// DllCanUnloadNow reads, the Layer setting, the three interface slots and
// the three static pages of the VfW path, and the window of the special
// effect page opened last.
#pragma once

#include <windows.h>
#include <dshow.h>

#include "shared/custom_camera_prop.h"

namespace qcamext {

class CameraFinder;
class CustomCameraPage;
class SpecialEffectPage;
class DigitalZoomPage;

struct ModuleState {
  HINSTANCE instance = NULL;
  DWORD platformId = 1;  // VER_PLATFORM_WIN32_WINDOWS until GetVersionExA says otherwise
  bool windows6 = false; // NT platform, major version 6
  volatile LONG activeObjects = 0;
  LONG serverLocks = 0;
  DWORD layer = 0;

  // Filled by the VfW entry for the static pages; released by the page
  // callback when the video-source dialog lets its first page go.
  IAMVideoProcAmp* vfwVideoProcAmp = NULL;
  IAMCameraControl* vfwCameraControl = NULL;
  IAMCustomCameraProp* vfwCustomProp = NULL;

  CustomCameraPage* vfwCameraPage = NULL;
  SpecialEffectPage* vfwEffectPage = NULL;
  DigitalZoomPage* vfwZoomPage = NULL;

  HWND lastEffectPageWindow = NULL;  // written by the effect page, read by the zoom page

  // Built by the custom page's snapshot button the first time it is
  // needed, kept while the page is connected (SharedCameraFinder).
  CameraFinder* sharedFinder = NULL;
};

ModuleState& Module();

// Every COM object of the module counts itself from construction to
// destruction.
void ObjectCreated();
void ObjectDestroyed();

// The camera finder the snapshot button uses, built on first use (null
// only when memory runs out), and its release. The finder holds the
// camera's filter, and with it an object of this module: kept beyond the
// pages it would keep the module loaded, so the camera page lets it go
// when it disconnects.
CameraFinder* SharedCameraFinder();
void ReleaseSharedCameraFinder();

// Reads the load-time settings (Layer) from the registry.
void LoadModuleSettings();
// Version facts of GetVersionExA: the platform id (1 when the call fails)
// and whether this is Windows 6.x.
void ReadPlatformVersion(DWORD* platformId, bool* windows6);

}  // namespace qcamext
