// The COM classes of the qcamext module, in the order of its class table:
// the interface handler that implements IAMCustomCameraProp (its class id is
// IID_IAMCustomCameraProp, see custom_camera_prop.h) and the four property
// pages. The camera's installation names these class ids when it announces
// the handler and the pages for the device.
#pragma once

#include <guiddef.h>

// {10C5EE30-5651-4E03-AF63-7AFAAD73A53A}
DEFINE_GUID(CLSID_CustomCameraPage, 0x10C5EE30, 0x5651, 0x4E03, 0xAF, 0x63, 0x7A, 0xFA, 0xAD, 0x73, 0xA5, 0x3A);
// {10C5EE31-5651-4E03-AF63-7AFAAD73A53A}
DEFINE_GUID(CLSID_SpecialEffectPage, 0x10C5EE31, 0x5651, 0x4E03, 0xAF, 0x63, 0x7A, 0xFA, 0xAD, 0x73, 0xA5, 0x3A);
// {10C5EE32-5651-4E03-AF63-7AFAAD73A53A}
DEFINE_GUID(CLSID_DigitalZoomPage, 0x10C5EE32, 0x5651, 0x4E03, 0xAF, 0x63, 0x7A, 0xFA, 0xAD, 0x73, 0xA5, 0x3A);
// {99999999-5651-4E03-AF63-7AFAAD73A53A}
DEFINE_GUID(CLSID_CommandPage, 0x99999999, 0x5651, 0x4E03, 0xAF, 0x63, 0x7A, 0xFA, 0xAD, 0x73, 0xA5, 0x3A);
