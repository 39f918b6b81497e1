// AMGetErrorTextA/W: the text of the statuses a DirectShow client meets,
// from the graph (VFW_E_*, VFW_S_*), from COM, and from devices (Win32
// errors as HRESULTs).
#include <windows.h>
#include <errors.h>

#include <algorithm>
#include <cstring>

namespace {

struct ErrorText {
  HRESULT hr;
  const char* text;
};

const ErrorText kTexts[] = {
    // COM
    {E_UNEXPECTED, "An unexpected failure happened."},
    {E_NOTIMPL, "The method is not implemented."},
    {E_NOINTERFACE, "The object does not support the requested interface."},
    {E_POINTER, "A required pointer was null."},
    {E_ABORT, "The operation was aborted."},
    {E_FAIL, "The operation failed for an unspecified reason."},
    {E_ACCESSDENIED, "Access was denied."},
    {E_HANDLE, "The handle is not valid."},
    {E_OUTOFMEMORY, "There is not enough memory to complete the operation."},
    {E_INVALIDARG, "An argument is not valid."},
    {CLASS_E_NOAGGREGATION, "The class cannot be created as part of an aggregate."},
    {CLASS_E_CLASSNOTAVAILABLE, "The module does not provide the requested class."},
    {REGDB_E_CLASSNOTREG, "The class is not registered."},
    {CO_E_NOTINITIALIZED, "COM has not been initialized on this thread."},
    // Devices
    {HRESULT_FROM_WIN32(ERROR_INVALID_FUNCTION), "The device does not accept this request."},
    {HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), "The device or file cannot be found."},
    {HRESULT_FROM_WIN32(ERROR_INVALID_HANDLE), "The device handle is not valid."},
    {HRESULT_FROM_WIN32(ERROR_NOT_ENOUGH_MEMORY), "There is not enough memory to process the request."},
    {HRESULT_FROM_WIN32(ERROR_GEN_FAILURE), "The device failed the request."},
    {HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED), "The device does not support this request."},
    {HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER), "A value in the request is not valid for the device."},
    {HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER), "The buffer is too small for the device's answer."},
    {HRESULT_FROM_WIN32(ERROR_MORE_DATA), "More data is available than the buffer can hold."},
    {HRESULT_FROM_WIN32(ERROR_IO_INCOMPLETE), "The request has not completed yet."},
    {HRESULT_FROM_WIN32(ERROR_IO_PENDING), "The request is in progress."},
    {HRESULT_FROM_WIN32(ERROR_IO_DEVICE), "The device reported an input/output error."},
    {HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED), "The device is not connected."},
    {HRESULT_FROM_WIN32(ERROR_NOT_FOUND), "The device does not know the requested item."},
    {HRESULT_FROM_WIN32(ERROR_NO_MATCH), "No match was found for the request."},
    {HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND), "The device does not have the requested property set."},
    {HRESULT_FROM_WIN32(ERROR_NO_SYSTEM_RESOURCES), "There are not enough system resources to complete the request."},
    // The graph
    {VFW_S_NO_MORE_ITEMS, "The end of the list was reached."},
    {VFW_S_DUPLICATE_NAME, "The filter was added under a changed name because its name was in use."},
    {VFW_S_STATE_INTERMEDIATE, "The state change has not completed yet."},
    {VFW_S_PARTIAL_RENDER, "Only some of the streams could be rendered."},
    {VFW_E_INVALIDMEDIATYPE, "The media type is not valid."},
    {VFW_E_INVALIDSUBTYPE, "The media subtype is not valid."},
    {VFW_E_NEED_OWNER, "The object can only be created as part of an aggregate."},
    {VFW_E_ENUM_OUT_OF_SYNC, "The enumeration is no longer valid: the list changed."},
    {VFW_E_ALREADY_CONNECTED, "A pin of this operation is already connected."},
    {VFW_E_FILTER_ACTIVE, "The filter is active: stop it first."},
    {VFW_E_NO_TYPES, "The pin offers no media types."},
    {VFW_E_NO_ACCEPTABLE_TYPES, "The pins have no media type in common."},
    {VFW_E_INVALID_DIRECTION, "The pins are of the same direction."},
    {VFW_E_NOT_CONNECTED, "The pin is not connected."},
    {VFW_E_NO_ALLOCATOR, "No sample buffer allocator is available."},
    {VFW_E_RUNTIME_ERROR, "A run-time error happened."},
    {VFW_E_BUFFER_NOTSET, "No buffer space has been set."},
    {VFW_E_BUFFER_OVERFLOW, "The buffer is not big enough."},
    {VFW_E_NOT_COMMITTED, "The allocator has not been committed."},
    {VFW_E_NO_CLOCK, "The graph has no reference clock."},
    {VFW_E_NO_INTERFACE, "The filter or pin does not support the required interface."},
    {VFW_E_NOT_FOUND, "The object or name was not found."},
    {VFW_E_CANNOT_CONNECT, "No combination of filters connects these pins."},
    {VFW_E_CANNOT_RENDER, "No combination of filters renders this stream."},
    {VFW_E_CHANGING_FORMAT, "The format could not be changed."},
    {VFW_E_STATE_CHANGED, "The state changed during the operation."},
    {VFW_E_NOT_STOPPED, "The operation needs a stopped filter."},
    {VFW_E_NOT_PAUSED, "The operation needs a paused filter."},
    {VFW_E_NOT_RUNNING, "The operation needs a running filter."},
    {VFW_E_WRONG_STATE, "The filter is in the wrong state for the operation."},
    {VFW_E_TYPE_NOT_ACCEPTED, "The pin does not accept this media type."},
    {VFW_E_SAMPLE_REJECTED, "The sample was rejected."},
    {VFW_E_DUPLICATE_NAME, "The filter cannot be added: its name is in use."},
    {VFW_E_TIMEOUT, "The operation timed out."},
    {VFW_E_INVALID_FILE_FORMAT, "The file format is not valid."},
    {VFW_E_ENUM_OUT_OF_RANGE, "The list has no item at that position."},
    {VFW_E_CIRCULAR_GRAPH, "The connection would make the graph circular."},
    {VFW_E_UNKNOWN_FILE_TYPE, "The file type is not known."},
    {VFW_E_CANNOT_LOAD_SOURCE_FILTER, "The source filter for this file could not be loaded."},
    {VFW_E_INVALID_CLSID, "The class identifier is not valid."},
    {VFW_E_INVALID_MEDIA_TYPE, "The media type is not valid for this operation."},
    {VFW_E_NOT_IN_GRAPH, "The filter is not in a filter graph."},
    {VFW_E_NO_CAPTURE_HARDWARE, "No capture hardware is available."},
    {VFW_E_UNSUPPORTED_VIDEO, "This video format is not supported."},
    {E_PROP_ID_UNSUPPORTED, "The property is not supported by this property set."},
    {E_PROP_SET_UNSUPPORTED, "The property set is not supported."},
};

const char* TextOf(HRESULT hr) {
  for (const ErrorText& e : kTexts)
    if (e.hr == hr) return e.text;
  return nullptr;
}

// Copies `text` (ASCII) cut to MaxLen characters with the terminator.
template <class Char>
DWORD CopyText(const char* text, Char* buffer, DWORD maxLen) {
  if (!text || !buffer || maxLen == 0) return 0;
  DWORD n = std::min<DWORD>(DWORD(std::strlen(text)), maxLen - 1);
  for (DWORD i = 0; i < n; ++i) buffer[i] = Char(static_cast<unsigned char>(text[i]));
  buffer[n] = 0;
  return n;
}

}  // namespace

DWORD WINAPI AMGetErrorTextA(HRESULT hr, LPSTR pbuffer, DWORD MaxLen) { return CopyText(TextOf(hr), pbuffer, MaxLen); }

DWORD WINAPI AMGetErrorTextW(HRESULT hr, LPWSTR pbuffer, DWORD MaxLen) { return CopyText(TextOf(hr), pbuffer, MaxLen); }
