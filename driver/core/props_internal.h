// Shared by the property-set files: access to a property request's buffers
// with the item's minimum sizes enforced, little-endian field access, the
// mutable ranges of the property tables and the control descriptions.
#pragma once

#include <cstring>

#include "driver/core/property_sets.h"

// The buffers of one property request. `Property` is the caller's property
// record (at least `MinProperty` bytes), `Data` the data buffer (at least
// `MinData` bytes, null when MinData is 0 and the caller gave none).
struct PropertyRequest {
  PKSPROPERTY Property;
  PUCHAR Property8;  // the same record as bytes
  ULONG PropertySize;
  PUCHAR Data;
  ULONG DataSize;
};

// Takes the request's buffers apart. A missing descriptor or property record
// is STATUS_INVALID_PARAMETER; a property record or data buffer shorter than
// the item's minimum sizes is STATUS_BUFFER_TOO_SMALL. On failure the
// request's ActualBytesTransferred is 0 and nothing was read past the sizes.
NTSTATUS OpenPropertyRequest(PHW_STREAM_REQUEST_BLOCK srb, ULONG minProperty, ULONG minData, PropertyRequest* req);

// Unaligned little-endian access to records in caller buffers.
inline LONG LoadLong(const UCHAR* p, ULONG offset) {
  ULONG v = ULONG(p[offset]) | ULONG(p[offset + 1]) << 8 | ULONG(p[offset + 2]) << 16 | ULONG(p[offset + 3]) << 24;
  return LONG(v);
}
inline VOID StoreLong(UCHAR* p, ULONG offset, LONG value) {
  ULONG v = ULONG(value);
  p[offset] = UCHAR(v);
  p[offset + 1] = UCHAR(v >> 8);
  p[offset + 2] = UCHAR(v >> 16);
  p[offset + 3] = UCHAR(v >> 24);
}

// Field offsets of the 40-byte proc-amp / camera-control record.
constexpr ULONG kPropValueOffset = 24;
constexpr ULONG kPropFlagsOffset = 28;
constexpr ULONG kPropCapsOffset = 32;
constexpr ULONG kPropRecordSize = 40;
static_assert(sizeof(KSPROPERTY_VIDEOPROCAMP_S) == kPropRecordSize, "proc-amp record size");
static_assert(offsetof(KSPROPERTY_VIDEOPROCAMP_S, Flags) == kPropFlagsOffset, "Flags offset");
static_assert(offsetof(KSPROPERTY_VIDEOPROCAMP_S, Capabilities) == kPropCapsOffset, "Capabilities offset");

// ---- property-table ranges (property_sets.cpp) ------------------------------
// Replaces the stepped range and default of one proc-amp item of the table.
VOID SetProcAmpTableRange(ULONG propertyId, LONG resolution, LONG minimum, LONG maximum, LONG defaultValue);
// Restores the static ranges of every table (for tests and a fresh load).
VOID ResetPropertyTables();

// ---- standard controls (props_procamp.cpp) ----------------------------------
// A proc-amp control's current range (driver-wide copy); false for an id the
// handlers do not map.
BOOLEAN GetProcAmpRange(ULONG propertyId, ControlRange* range);
// Static ranges of the camera controls with an automatic mode.
constexpr LONG kWhiteBalanceMin = 2800, kWhiteBalanceMax = 6500, kWhiteBalanceDefault = 4600;
constexpr LONG kExposureMin = -14, kExposureMax = -1, kExposureDefault = -7;
constexpr LONG kFocusMin = 0, kFocusMax = 200, kFocusDefault = 0;

// Exposure: camera time (100 us units) <-> camera-control value 0 .. -14.
constexpr int kExposureTableSize = 15;
extern const ULONG kExposureTimes[kExposureTableSize];
// The value whose camera time equals `time`; `notFound` when none does.
LONG ExposureValueFromTime(ULONG time, LONG notFound);
// The camera time of value 0 .. -14; `notFound` for any other value.
ULONG ExposureTimeFromValue(LONG value, ULONG notFound);

// Reads the property id of a request after checking that a whole property
// header is there: STATUS_INVALID_PARAMETER without descriptor or record,
// STATUS_BUFFER_TOO_SMALL for a record shorter than the header.
NTSTATUS PeekPropertyId(PHW_STREAM_REQUEST_BLOCK srb, ULONG* id);
// The item of `id` in one of the device's sets, or null.
const KSPROPERTY_ITEM* FindPropertyItem(const GUID& set, ULONG id);
// Restores the static ranges of the tables and the driver-wide copies.
VOID ResetControlRanges();
