// Stream formats offered to capture applications, negotiation with the camera
// (probe, commit, alternate setting) and the per-frame pipeline.
#include "driver/core/formats.h"

#include <cstddef>
#include <cstring>
#include <mutex>

#include "driver/core/camera_control.h"
#include "driver/core/face_tracking.h"
#include "driver/core/settings.h"
#include "driver/core/zoom.h"
#include "driver/imaging/effects.h"
#include "driver/imaging/jpeg_decoder.h"
#include "shared/qcam_defs.h"
#include "shared/snapshot_file.h"

DriverGlobals g_Driver;

// ---- stream information ------------------------------------------------------------

static KS_DATARANGE_VIDEO MakeRangeTemplate(ULONG fourcc, LONG width, LONG height, USHORT bitCount,
                                            LONGLONG interval) {
  KS_DATARANGE_VIDEO r = {};
  r.DataRange.FormatSize = sizeof(KS_DATARANGE_VIDEO);
  r.DataRange.SampleSize = ULONG(width * height * bitCount / 8);
  r.DataRange.MajorFormat = KSDATAFORMAT_TYPE_VIDEO;
  r.DataRange.SubFormat = KsFourCCSubtype(fourcc);
  r.DataRange.Specifier = KSDATAFORMAT_SPECIFIER_VIDEOINFO;
  r.bFixedSizeSamples = TRUE;
  r.bTemporalCompression = TRUE;
  r.StreamDescriptionFlags = 2;  // KS_VIDEOSTREAM_CAPTURE
  r.MemoryAllocationFlags = 0;
  KS_VIDEO_STREAM_CONFIG_CAPS& c = r.ConfigCaps;
  c.guid = KSDATAFORMAT_SPECIFIER_VIDEOINFO;
  c.InputSize = {width, height};
  c.MinCroppingSize = {width, height};
  c.MaxCroppingSize = {width, height};
  c.CropGranularityX = c.CropGranularityY = 1;
  c.CropAlignX = c.CropAlignY = 1;
  c.MinOutputSize = {width, height};
  c.MaxOutputSize = {width, height};
  c.OutputGranularityX = c.OutputGranularityY = 1;
  c.MinFrameInterval = interval;
  c.MaxFrameInterval = 2000000;
  c.MinBitsPerSecond = 5;
  c.MaxBitsPerSecond = 30;
  KS_VIDEOINFOHEADER& v = r.VideoInfoHeader;
  v.rcSource = {0, 0, width, height};
  v.rcTarget = {0, 0, width, height};
  v.AvgTimePerFrame = interval;
  v.bmiHeader.biSize = sizeof(KS_BITMAPINFOHEADER);
  v.bmiHeader.biWidth = width;
  v.bmiHeader.biHeight = height;
  v.bmiHeader.biPlanes = 1;
  v.bmiHeader.biBitCount = bitCount;
  v.bmiHeader.biCompression = fourcc;
  v.bmiHeader.biSizeImage = r.DataRange.SampleSize;
  return r;
}

KS_DATARANGE_VIDEO g_CaptureFormats[kMaxFormatSlots];
static PKSDATAFORMAT g_CaptureFormatArray[kMaxFormatSlots];

// The still stream's own ranges, offered only before the first configure.
static KS_DATARANGE_VIDEO g_StillFormats[5] = {
    MakeRangeTemplate(qcam::kFourCC_IYUV, 160, 120, 12, 10000000),
    MakeRangeTemplate(qcam::kFourCC_IYUV, 176, 144, 12, 10000000),
    MakeRangeTemplate(qcam::kFourCC_IYUV, 320, 240, 12, 10000000),
    MakeRangeTemplate(qcam::kFourCC_I420, 160, 120, 12, 10000000),
    MakeRangeTemplate(qcam::kFourCC_I420, 176, 144, 12, 10000000),
};
static PKSDATAFORMAT g_StillFormatArray[5] = {
    &g_StillFormats[0].DataRange, &g_StillFormats[1].DataRange, &g_StillFormats[2].DataRange,
    &g_StillFormats[3].DataRange, &g_StillFormats[4].DataRange};

// Stream properties answered by the class driver.
static const KSPROPERTY_ITEM g_ConnectionItems[] = {
    {KSPROPERTY_CONNECTION_ALLOCATORFRAMING, TRUE, sizeof(KSPROPERTY), 24, FALSE, nullptr, 0, nullptr, nullptr, 0}};
static const KSPROPERTY_ITEM g_DroppedFramesItems[] = {
    {0 /* KSPROPERTY_DROPPEDFRAMES_CURRENT */, TRUE, 48, 48, FALSE, nullptr, 0, nullptr, nullptr, 0}};
static const KSPROPERTY_SET g_StreamPropertySets[2] = {
    {&KSPROPSETID_Connection, 1, g_ConnectionItems, 0, nullptr},
    {&PROPSETID_VIDCAP_DROPPEDFRAMES, 1, g_DroppedFramesItems, 0, nullptr},
};

static bool InitCaptureSlots() {
  for (int i = 0; i < kMaxFormatSlots; ++i) {
    g_CaptureFormats[i] = MakeRangeTemplate(qcam::kFourCC_YUY2, 1, 1, 16, 333333);
    g_CaptureFormatArray[i] = &g_CaptureFormats[i].DataRange;
  }
  return true;
}
static bool g_SlotsInitialised = InitCaptureSlots();

HW_STREAM_INFORMATION g_StreamInfo[2] = {
    {1, KSPIN_DATAFLOW_OUT, TRUE, kMaxFormatSlots, g_CaptureFormatArray, {}, 2, g_StreamPropertySets, 0, nullptr,
     &PINNAME_VIDEO_CAPTURE, &PINNAME_VIDEO_CAPTURE, 0, nullptr, FALSE, {}},
    {1, KSPIN_DATAFLOW_OUT, TRUE, 5, g_StillFormatArray, {}, 2, g_StreamPropertySets, 0, nullptr,
     &PINNAME_VIDEO_STILL, &PINNAME_VIDEO_STILL, 0, nullptr, FALSE, {}},
};

// ---- descriptor parse -----------------------------------------------------------------

// Reads the frame descriptors that follow a format descriptor, then the still
// image frame descriptor if one comes next. Returns the position after them.
static ULONG ReadFrames(const UCHAR* data, ULONG length, ULONG pos, UCHAR frameSubtype, UCHAR announced,
                        ParsedFormat* format) {
  format->FrameCount = 0;
  for (UCHAR n = 0; n < announced; ++n) {
    using Frame = uvc::FrameDescriptor;
    if (pos + uvc::DescriptorHeader::kClassSpecificMinSize > length) return pos;
    UCHAR len = data[pos];
    if (len < Frame::kFixedSize || pos + len > length) return pos;
    if (data[pos + 1] != uvc::CS_INTERFACE || data[pos + 2] != frameSubtype) return pos;
    const UCHAR* d = data + pos;
    UCHAR intervalType = d[Frame::bFrameIntervalType];
    // A discrete list carries bFrameIntervalType intervals; a continuous
    // range (type 0) carries minimum, maximum and step.
    if (len < uvc::FrameDescriptorSize(uvc::FrameIntervalWords(intervalType))) return pos;
    if (format->FrameCount < kMaxFramesPerFormat) {
      ParsedFrame& f = format->Frames[format->FrameCount++];
      f.bFrameIndex = d[Frame::bFrameIndex];
      f.wWidth = ReadLe16(d + Frame::wWidth);
      f.wHeight = ReadLe16(d + Frame::wHeight);
      f.dwMaxVideoFrameBufferSize = ReadLe32(d + Frame::dwMaxVideoFrameBufferSize);
      f.dwDefaultFrameInterval = ReadLe32(d + Frame::dwDefaultFrameInterval);
      f.bFrameIntervalType = intervalType;
      f.IntervalCount = 0;
      for (ULONG k = 0; k < intervalType && k < kMaxFrameIntervals; ++k)
        f.Intervals[f.IntervalCount++] = ReadLe32(d + Frame::dwFrameInterval + 4 * k);
    }
    pos += len;
  }
  // A still image frame descriptor directly after the frames.
  ParsedStillFrame& still = format->Still;
  still = ParsedStillFrame{};
  using Still = uvc::StillImageFrameDescriptor;
  if (pos + uvc::DescriptorHeader::kClassSpecificMinSize <= length && data[pos] >= Still::kFixedSize &&
      pos + data[pos] <= length && data[pos + 1] == uvc::CS_INTERFACE && data[pos + 2] == uvc::VS_STILL_IMAGE_FRAME) {
    const UCHAR* d = data + pos;
    UCHAR len = d[0];
    still.Present = true;
    still.bEndpointAddress = d[Still::bEndpointAddress];
    still.bNumImageSizePatterns = d[Still::bNumImageSizePatterns];
    ULONG p = Still::wWidthHeight;
    for (UCHAR k = 0; k < still.bNumImageSizePatterns && p + 4 <= len; ++k, p += 4) {
      if (k < kMaxStillSizes) {
        still.Sizes[k][0] = ReadLe16(d + p);
        still.Sizes[k][1] = ReadLe16(d + p + 2);
      }
    }
    if (p < len) {
      still.bNumCompressionPattern = d[p++];
      for (UCHAR k = 0; k < still.bNumCompressionPattern && p < len; ++k, ++p)
        if (k < kMaxStillSizes) still.Compression[k] = d[p];
    }
    pos += len;
  }
  return pos;
}

VOID ParseConfigurationDescriptor(const UCHAR* data, ULONG length, ParsedDescriptors* out) {
  memset(out, 0, sizeof(*out));
  if (!data) return;
  // Class-specific descriptors are read only inside the video function: an
  // audio function in the same configuration uses the same descriptor type
  // with subtypes of its own meaning.
  UCHAR interfaceClass = 0, interfaceSubClass = 0;
  ULONG pos = 0;
  while (pos < length) {
    UCHAR len = data[pos];
    if (len == 0) break;
    if (len < 2 || pos + len > length) break;  // a descriptor running past the end stops the walk
    const UCHAR* d = data + pos;
    UCHAR type = d[1];
    using Interface = uvc::InterfaceDescriptor;
    if (type == uvc::USB_DT_INTERFACE && len >= Interface::kSize) {
      interfaceClass = d[Interface::bInterfaceClass];
      interfaceSubClass = d[Interface::bInterfaceSubClass];
      if (d[Interface::bInterfaceNumber] == uvc::kStreamingInterface && d[Interface::bAlternateSetting] != 0)
        out->AlternateSettings++;
      pos += len;
      continue;
    }
    if (type != uvc::CS_INTERFACE || len < uvc::DescriptorHeader::kClassSpecificMinSize ||
        interfaceClass != uvc::CC_VIDEO) {
      pos += len;
      continue;
    }
    UCHAR subtype = d[uvc::DescriptorHeader::bDescriptorSubtype];
    using Format = uvc::FormatDescriptor;
    if (interfaceSubClass == uvc::SC_VIDEOSTREAMING &&
        ((subtype == uvc::VS_FORMAT_UNCOMPRESSED && len >= uvc::FormatUncompressedDescriptor::kSize) ||
         (subtype == uvc::VS_FORMAT_MJPEG && len >= uvc::FormatMjpegDescriptor::kSize)) &&
        (d[Format::bFormatIndex] == 1 || d[Format::bFormatIndex] == 2)) {
      bool mjpeg = subtype == uvc::VS_FORMAT_MJPEG;
      ParsedFormat* f = mjpeg ? &out->Mjpeg : &out->Uncompressed;
      *f = ParsedFormat{};
      f->Present = true;
      f->bFormatIndex = d[Format::bFormatIndex];
      f->bNumFrameDescriptors = d[Format::bNumFrameDescriptors];
      if (mjpeg) {
        f->bDefaultFrameIndex = d[uvc::FormatMjpegDescriptor::bDefaultFrameIndex];
        f->bBitsPerPixel = 0;
      } else {
        using Uncompressed = uvc::FormatUncompressedDescriptor;
        memcpy(&f->guidFormat, d + Uncompressed::guidFormat, sizeof(GUID));
        f->bBitsPerPixel = d[Uncompressed::bBitsPerPixel];
        f->bDefaultFrameIndex = d[Uncompressed::bDefaultFrameIndex];
      }
      pos = ReadFrames(data, length, pos + len, mjpeg ? uvc::VS_FRAME_MJPEG : uvc::VS_FRAME_UNCOMPRESSED,
                       f->bNumFrameDescriptors, f);
      continue;
    }
    using Unit = uvc::ProcessingUnitDescriptor;
    using Terminal = uvc::CameraTerminalDescriptor;
    if (interfaceSubClass == uvc::SC_VIDEOCONTROL && subtype == uvc::VC_PROCESSING_UNIT && len >= Unit::kFixedSize) {
      UCHAR controlSize = d[Unit::bControlSize];
      if (len >= Unit::kFixedSize + controlSize) {
        out->ProcessingUnit.Present = true;
        out->ProcessingUnit.bUnitID = d[Unit::bUnitID];
        out->ProcessingUnit.bSourceID = d[Unit::bSourceID];
        out->ProcessingUnit.wMaxMultiplier = ReadLe16(d + Unit::wMaxMultiplier);
        out->ProcessingUnit.bControlSize = controlSize;
        memset(out->ProcessingUnit.bmControls, 0, sizeof(out->ProcessingUnit.bmControls));
        for (UCHAR k = 0; k < controlSize && k < 4; ++k) out->ProcessingUnit.bmControls[k] = d[Unit::bmControls + k];
      }
    } else if (interfaceSubClass == uvc::SC_VIDEOCONTROL && subtype == uvc::VC_INPUT_TERMINAL &&
               len >= uvc::InputTerminalDescriptor::kSize) {
      auto& t = out->CameraTerminal;
      t = {};
      t.Present = true;
      t.bTerminalID = d[uvc::InputTerminalDescriptor::bTerminalID];
      t.wTerminalType = ReadLe16(d + uvc::InputTerminalDescriptor::wTerminalType);
      t.bAssocTerminal = d[uvc::InputTerminalDescriptor::bAssocTerminal];
      t.iTerminal = d[uvc::InputTerminalDescriptor::iTerminal];
      if (len >= Terminal::kFixedSize) {
        t.wObjectiveFocalLengthMin = ReadLe16(d + Terminal::wObjectiveFocalLengthMin);
        t.wObjectiveFocalLengthMax = ReadLe16(d + Terminal::wObjectiveFocalLengthMax);
        t.wOcularFocalLength = ReadLe16(d + Terminal::wOcularFocalLength);
        t.bControlSize = d[Terminal::bControlSize];
        for (UCHAR k = 0; k < t.bControlSize && k < 4 && Terminal::kFixedSize + k < len; ++k)
          t.bmControls[k] = d[Terminal::bmControls + k];
      }
    }
    pos += len;
  }
}

// ---- format rebuild -----------------------------------------------------------------------

static VOID FillSlot(KS_DATARANGE_VIDEO* slot, ULONG fourcc, const ParsedFrame& frame, ULONG bitCount) {
  LONG w = frame.wWidth, h = frame.wHeight;
  ULONG t = frame.dwDefaultFrameInterval;
  ULONG imageSize = ULONG(ULONGLONG(w) * bitCount * h / 8);
  slot->DataRange.SampleSize = imageSize;
  slot->DataRange.SubFormat = KsFourCCSubtype(fourcc);
  KS_VIDEO_STREAM_CONFIG_CAPS& c = slot->ConfigCaps;
  c.InputSize = {w, h};
  c.MinCroppingSize = c.MaxCroppingSize = {w, h};
  c.MinOutputSize = c.MaxOutputSize = {w, h};
  c.MinFrameInterval = t;
  c.MinBitsPerSecond = LONG(ULONGLONG(w) * h * bitCount * 5);
  // A zero interval (a broken descriptor) would divide by zero; such a frame
  // is offered with no rate rather than crashing configure.
  ULONGLONG perSecond = t ? 10000000ull / t : 0;
  ULONGLONG maxBits = ULONGLONG(w) * h * bitCount * perSecond;
  if (maxBits > 0x7FFFFFFFull) maxBits = 0x7FFFFFFFull;
  c.MaxBitsPerSecond = LONG(maxBits);
  KS_VIDEOINFOHEADER& v = slot->VideoInfoHeader;
  v.rcSource.right = v.rcTarget.right = w;
  v.rcSource.bottom = v.rcTarget.bottom = h;
  v.dwBitRate = ULONG(maxBits);
  v.AvgTimePerFrame = t;
  v.bmiHeader.biWidth = w;
  v.bmiHeader.biHeight = h;
  v.bmiHeader.biBitCount = USHORT(bitCount);
  v.bmiHeader.biCompression = fourcc;
  v.bmiHeader.biSizeImage = imageSize;
}

ULONG RebuildFormats() {
  const ParsedDescriptors& d = g_Driver.Descriptors;
  ULONG slot = 0;
  for (UCHAR i = 0; i < d.Mjpeg.FrameCount && slot < kMaxFormatSlots; ++i)
    FillSlot(&g_CaptureFormats[slot++], qcam::kFourCC_MJPG, d.Mjpeg.Frames[i], 24);
  if (d.Uncompressed.Present)
    for (UCHAR i = 0; i < d.Uncompressed.FrameCount && slot < kMaxFormatSlots; ++i)
      FillSlot(&g_CaptureFormats[slot++], qcam::kFourCC_YUY2, d.Uncompressed.Frames[i], 16);
  g_StreamInfo[0].NumberOfFormatArrayEntries = slot;
  g_StreamInfo[1].NumberOfFormatArrayEntries = slot;
  g_StreamInfo[1].StreamFormatsArray = g_CaptureFormatArray;
  return slot;
}

// ---- format match and intersection --------------------------------------------------------

// The video info header of a format, when the format is large enough to hold it.
static const KS_VIDEOINFOHEADER* VideoInfoOf(const KSDATAFORMAT* format) {
  if (!format || format->FormatSize < sizeof(KS_DATAFORMAT_VIDEOINFOHEADER)) return nullptr;
  return &reinterpret_cast<const KS_DATAFORMAT_VIDEOINFOHEADER*>(format)->VideoInfoHeader;
}

LONG FindMatchingFormat(ULONG streamNumber, const KSDATAFORMAT* format) {
  if (streamNumber > 1) return -1;
  const KS_VIDEOINFOHEADER* vih = VideoInfoOf(format);
  if (!vih) return -1;
  const HW_STREAM_INFORMATION& info = g_StreamInfo[streamNumber];
  for (ULONG i = 0; i < info.NumberOfFormatArrayEntries; ++i) {
    const KS_DATARANGE_VIDEO* slot = reinterpret_cast<const KS_DATARANGE_VIDEO*>(info.StreamFormatsArray[i]);
    if (slot->DataRange.MajorFormat == format->MajorFormat && slot->DataRange.SubFormat == format->SubFormat &&
        slot->DataRange.Specifier == format->Specifier &&
        slot->VideoInfoHeader.bmiHeader.biWidth == vih->bmiHeader.biWidth &&
        slot->VideoInfoHeader.bmiHeader.biHeight == vih->bmiHeader.biHeight &&
        slot->VideoInfoHeader.bmiHeader.biSizeImage == vih->bmiHeader.biSizeImage)
      return LONG(i);
  }
  return -1;
}

NTSTATUS DataIntersection(PHW_STREAM_REQUEST_BLOCK srb) {
  PSTREAM_DATA_INTERSECT_INFO info = srb->CommandData.IntersectInfo;
  if (!info || info->StreamNumber > 1) return STATUS_NO_MATCH;
  const KSDATARANGE* range = info->DataRange;
  if (!range || range->FormatSize < sizeof(KS_DATARANGE_VIDEO)) return STATUS_NO_MATCH;
  const KS_DATARANGE_VIDEO* caller = reinterpret_cast<const KS_DATARANGE_VIDEO*>(range);
  const HW_STREAM_INFORMATION& stream = g_StreamInfo[info->StreamNumber];
  const KS_DATARANGE_VIDEO* match = nullptr;
  for (ULONG i = 0; i < stream.NumberOfFormatArrayEntries && !match; ++i) {
    const KS_DATARANGE_VIDEO* slot = reinterpret_cast<const KS_DATARANGE_VIDEO*>(stream.StreamFormatsArray[i]);
    if (slot->DataRange.FormatSize == caller->DataRange.FormatSize &&
        slot->DataRange.MajorFormat == caller->DataRange.MajorFormat &&
        slot->DataRange.SubFormat == caller->DataRange.SubFormat &&
        slot->DataRange.Specifier == caller->DataRange.Specifier &&
        slot->bFixedSizeSamples == caller->bFixedSizeSamples &&
        slot->bTemporalCompression == caller->bTemporalCompression &&
        slot->StreamDescriptionFlags == caller->StreamDescriptionFlags &&
        slot->MemoryAllocationFlags == caller->MemoryAllocationFlags &&
        memcmp(&slot->ConfigCaps, &caller->ConfigCaps, sizeof(KS_VIDEO_STREAM_CONFIG_CAPS)) == 0)
      match = slot;
  }
  if (!match) return STATUS_NO_MATCH;

  // The caller's bitmap header must lie inside the caller's range: a biSize
  // claiming more than the range holds would make the copy below read (and a
  // wrapped size write) outside the buffers.
  const KS_VIDEOINFOHEADER& vih = caller->VideoInfoHeader;
  ULONG biSize = vih.bmiHeader.biSize;
  ULONG roomForHeader = caller->DataRange.FormatSize - ULONG(offsetof(KS_DATARANGE_VIDEO, VideoInfoHeader.bmiHeader));
  if (biSize < sizeof(KS_BITMAPINFOHEADER) || biSize > roomForHeader) return STATUS_INVALID_PARAMETER;
  ULONG outputSize = KsVideoFormatSize(biSize);

  if (info->SizeOfDataFormatBuffer == 0) {
    srb->ActualBytesTransferred = outputSize;
    return STATUS_BUFFER_OVERFLOW;
  }
  if (info->SizeOfDataFormatBuffer < outputSize) return STATUS_BUFFER_TOO_SMALL;
  if (!info->DataFormatBuffer) return STATUS_INVALID_PARAMETER;

  UCHAR* out = static_cast<UCHAR*>(info->DataFormatBuffer);
  memcpy(out, &caller->DataRange, sizeof(KSDATARANGE));
  reinterpret_cast<KSDATAFORMAT*>(out)->FormatSize = outputSize;
  KS_VIDEOINFOHEADER* outVih = reinterpret_cast<KS_VIDEOINFOHEADER*>(out + sizeof(KSDATAFORMAT));
  memcpy(outVih, &vih, offsetof(KS_VIDEOINFOHEADER, bmiHeader) + biSize);
  const KS_BITMAPINFOHEADER& slotBmi = match->VideoInfoHeader.bmiHeader;
  if (vih.bmiHeader.biWidth != slotBmi.biWidth || vih.bmiHeader.biHeight != slotBmi.biHeight) {
    outVih->rcSource.right = outVih->rcTarget.right = vih.bmiHeader.biWidth;
    outVih->rcSource.bottom = outVih->rcTarget.bottom = vih.bmiHeader.biHeight;
  }
  if (vih.AvgTimePerFrame > match->ConfigCaps.MaxFrameInterval) {
    outVih->AvgTimePerFrame = match->ConfigCaps.MaxFrameInterval;
    outVih->dwBitRate = ULONG(match->ConfigCaps.MinBitsPerSecond);
  }
  LONGLONG height = outVih->bmiHeader.biHeight < 0 ? -LONGLONG(outVih->bmiHeader.biHeight)
                                                    : LONGLONG(outVih->bmiHeader.biHeight);
  ULONGLONG stride = ((ULONGLONG(outVih->bmiHeader.biBitCount) * ULONG(outVih->bmiHeader.biWidth) + 31) / 32) * 4;
  ULONG imageSize = ULONG(stride * ULONGLONG(height));
  outVih->bmiHeader.biSizeImage = imageSize;
  reinterpret_cast<KSDATAFORMAT*>(out)->SampleSize = imageSize;
  srb->ActualBytesTransferred = outputSize;
  return STATUS_SUCCESS;
}

NTSTATUS SetDataFormat(CameraDeviceState* dev, PHW_STREAM_REQUEST_BLOCK srb) {
  ULONG stream = srb->StreamObject ? srb->StreamObject->StreamNumber : 0;
  const KSDATAFORMAT* format = srb->CommandData.OpenFormat;
  if (FindMatchingFormat(stream, format) < 0) return STATUS_NO_MATCH;
  if (dev->ClassInterface.Interface.Version == 0 || !dev->ClassInterface.USBCAMD_SetVideoFormat ||
      !dev->ClassInterface.USBCAMD_SetVideoFormat(dev, srb))
    return STATUS_NO_MATCH;
  const KS_VIDEOINFOHEADER* vih = VideoInfoOf(format);
  dev->OpenWidth = ULONG(vih->bmiHeader.biWidth);
  dev->OpenHeight = ULONG(vih->bmiHeader.biHeight);
  return STATUS_SUCCESS;
}

// ---- negotiation ------------------------------------------------------------------------------

ULONG SnapshotSizeIndexFor(LONG width, LONG height) {
  switch (width) {
    case 160: return 0;
    case 176: return 1;
    case 320: return 2;
    case 352: return 3;
    case 800: return 5;
    case 1024: return 6;
    case 1600: return 11;
    case 2304: return 12;
    case 1280: return height == 720 ? 7 : height == 800 ? 8 : height == 960 ? 9 : 10;
    case 2560: return height == 2048 ? 14 : 13;
    default: return 4;
  }
}

static LONG FormatIndexOfCode(ULONG code) {
  if (code == qcam::kFourCC_I420) return qcam::kFormatI420;
  if (code == 0) return qcam::kFormatRGB24;
  if (code == qcam::kFourCC_YUY2) return qcam::kFormatYUY2;
  if (code == qcam::kFourCC_MJPG) return qcam::kFormatMJPG;
  return -1;
}

// The camera format a stream of this output format is probed with: the
// uncompressed one only for YUY2 on an interface with enough bandwidth
// (four or more alternate settings), the MJPEG one otherwise.
static const ParsedFormat* ProbeFormatFor(ULONG formatCode) {
  const ParsedDescriptors& d = g_Driver.Descriptors;
  if (formatCode == qcam::kFourCC_YUY2 && d.AlternateSettings >= 4) return &d.Uncompressed;
  return &d.Mjpeg;
}

static LONG FindFrame(const ParsedFormat* format, LONG width, LONG height) {
  if (!format->Present) return -1;
  for (UCHAR i = 0; i < format->FrameCount; ++i)
    if (format->Frames[i].wWidth == width && format->Frames[i].wHeight == height) return i;
  return -1;
}

// Fills a probe/commit record for the current stream: format index, frame
// index and the negotiated values.
static VOID FillStartProbe(CameraDeviceState* dev, UCHAR* probe) {
  const ParsedFormat* format = ProbeFormatFor(dev->OutputFormatCode);
  LONG position = FindFrame(format, dev->Width, dev->Height);
  memset(probe, 0, uvc::kProbeCommitSize);
  probe[offsetof(uvc::VideoProbeCommit, bFormatIndex)] = format->bFormatIndex;
  // The frame is named by the descriptor's own index, as the probe named it:
  // a camera need not number its frames 1, 2, 3... in table order.
  probe[offsetof(uvc::VideoProbeCommit, bFrameIndex)] = position >= 0 ? format->Frames[position].bFrameIndex : 0;
  WriteLe32(probe + offsetof(uvc::VideoProbeCommit, dwFrameInterval), g_Driver.FrameInterval);
  WriteLe32(probe + offsetof(uvc::VideoProbeCommit, dwMaxVideoFrameSize), g_Driver.MaxVideoFrameSize);
  WriteLe32(probe + offsetof(uvc::VideoProbeCommit, dwMaxPayloadTransferSize), g_Driver.MaxPayloadTransferSize);
}

// Held by raw frame processing and by everything that frees or replaces the
// buffers and picture size it uses, so that a bandwidth allocation or a
// surprise removal on the request path cannot pull a work buffer from under a
// frame being processed on the transfer path.
static std::mutex g_FrameLock;

static VOID ChooseAlternateSetting(CameraDeviceState* dev, ULONG payload) {
  if (g_Driver.Descriptors.AlternateSettings < 4) {
    dev->EndOfFrameMode = 0;
    dev->StreamingAlternateSetting = payload < 956 ? 1 : 2;
    return;
  }
  dev->EndOfFrameMode = 1;
  dev->StreamingAlternateSetting = payload >= 2048 ? 6 : payload >= 1024 ? 5 : payload >= 512 ? 4
                                   : payload >= 256 ? 3 : payload >= 128 ? 2 : 1;
}

// The probe and commit controls of the streaming interface.
constexpr USHORT kProbe = uvc::ControlValue(uvc::VS_PROBE_CONTROL);
constexpr USHORT kCommit = uvc::ControlValue(uvc::VS_COMMIT_CONTROL);
constexpr USHORT kStreamingIndex = uvc::ControlIndex(0, uvc::kStreamingInterface);

// Sends the probe for one frame of a camera format and reads back what the
// camera made of it. A failed set or get returns the transfer's status and
// leaves `negotiated` unusable: nothing is taken from a read-back buffer the
// camera never filled.
static NTSTATUS NegotiateProbe(CameraDeviceState* dev, const ParsedFormat* format, const ParsedFrame& frame,
                               ULONG interval, UCHAR* negotiated) {
  memset(negotiated, 0, uvc::kProbeCommitSize);
  negotiated[offsetof(uvc::VideoProbeCommit, bFormatIndex)] = format->bFormatIndex;
  negotiated[offsetof(uvc::VideoProbeCommit, bFrameIndex)] = frame.bFrameIndex;
  WriteLe32(negotiated + offsetof(uvc::VideoProbeCommit, dwFrameInterval), interval);
  WriteLe32(negotiated + offsetof(uvc::VideoProbeCommit, dwMaxVideoFrameSize), frame.dwMaxVideoFrameBufferSize);
  WriteLe32(negotiated + offsetof(uvc::VideoProbeCommit, dwMaxPayloadTransferSize), 0x00000200);
  NTSTATUS status = SendControlRequest(dev, uvc::SET_CUR, kProbe, kStreamingIndex, negotiated, uvc::kProbeCommitSize, kControlSet);
  if (!NT_SUCCESS(status)) return status;
  return ReadWholeControl(dev, uvc::GET_CUR, kProbe, kStreamingIndex, negotiated, uvc::kProbeCommitSize);
}

// Keeps the negotiated values for the commit at stream start.
static VOID AdoptProbe(const UCHAR* negotiated) {
  g_Driver.ProbeFormatIndex = negotiated[offsetof(uvc::VideoProbeCommit, bFormatIndex)];
  g_Driver.ProbeFrameIndex = negotiated[offsetof(uvc::VideoProbeCommit, bFrameIndex)];
  g_Driver.FrameInterval = ReadLe32(negotiated + offsetof(uvc::VideoProbeCommit, dwFrameInterval));
  g_Driver.MaxVideoFrameSize = ReadLe32(negotiated + offsetof(uvc::VideoProbeCommit, dwMaxVideoFrameSize));
  g_Driver.MaxPayloadTransferSize = ReadLe32(negotiated + offsetof(uvc::VideoProbeCommit, dwMaxPayloadTransferSize));
  g_Driver.CommitNeeded = TRUE;
}

// Takes the new picture size and output format and replaces the decoder's
// scratch picture, which both decoded formats need on every frame.
static NTSTATUS ReplaceScratchPicture(CameraDeviceState* dev, ULONG code, LONG width, LONG height) {
  std::lock_guard<std::mutex> guard(g_FrameLock);
  dev->OutputFormatCode = code;
  dev->Height = height;
  dev->Width = width;
  if (dev->ScratchBuffer) ExFreePool(dev->ScratchBuffer);
  dev->ScratchBuffer = nullptr;
  dev->ScratchSize = ULONG(width) * ULONG(height) * 2;
  if (code == 0 || code == qcam::kFourCC_I420) {
    dev->ScratchBuffer = static_cast<PUCHAR>(ExAllocatePool(NonPagedPool, dev->ScratchSize));
    if (!dev->ScratchBuffer) {
      dev->ScratchSize = 0;
      return STATUS_INSUFFICIENT_RESOURCES;
    }
  }
  return STATUS_SUCCESS;
}

// Effects, face tracking, the snapshot size and the zoom window follow the
// format being set up; frames may be processed from here on.
static VOID PrepareFramePipeline(CameraDeviceState* dev, ULONG code, LONG width, LONG height) {
  std::lock_guard<std::mutex> guard(g_FrameLock);
  ResetEffectState();
  AllocateEffectBuffers(width, height);
  if (width > 640) {
    g_Driver.Face.Flags &= ~qcam::kFaceTrackFaces;
    WriteDwordSetting(qcam::kKeyCurrent, u"FTEnable", 0);
  }
  PrepareFaceTracking(width, height, FormatIndexOfCode(code));
  dev->SnapshotSizeIndex = SnapshotSizeIndexFor(width, height);
  // The window is placed for the format being set up, not for the last one
  // a frame was processed in (none after load).
  RecomputeZoomWindow(dev, FormatIndexOfCode(code));
  g_Driver.FramesMayBeProcessed.store(1);
}

NTSTATUS AllocateBandwidthStream0(CameraDeviceState* dev, PULONG rawFrameLength, PVOID formatBuffer) {
  if (!dev || !rawFrameLength || !formatBuffer) return STATUS_INVALID_PARAMETER;
  const KSDATAFORMAT* format = static_cast<const KSDATAFORMAT*>(formatBuffer);
  const KS_VIDEOINFOHEADER* vih = VideoInfoOf(format);
  if (!vih) return STATUS_INVALID_PARAMETER;
  ULONG code = vih->bmiHeader.biCompression;
  LONG width = vih->bmiHeader.biWidth, height = vih->bmiHeader.biHeight;
  // Only a size the camera has in the format it will be probed with can be
  // negotiated; anything else fails before any state changes.
  const ParsedFormat* probeFormat = ProbeFormatFor(code);
  LONG position = FindFrame(probeFormat, width, height);
  if (position < 0 || FormatIndexOfCode(code) < 0) return STATUS_NO_MATCH;
  const ParsedFrame& frame = probeFormat->Frames[position];
  ULONG interval = (code == qcam::kFourCC_YUY2 && width == 1280) ? frame.dwDefaultFrameInterval
                                                                 : ULONG(vih->AvgTimePerFrame);

  UCHAR negotiated[uvc::kProbeCommitSize];
  NTSTATUS status = NegotiateProbe(dev, probeFormat, frame, interval, negotiated);
  if (!NT_SUCCESS(status)) return status;
  status = ReplaceScratchPicture(dev, code, width, height);
  if (!NT_SUCCESS(status)) return status;
  *rawFrameLength = ULONG(width) * ULONG(height) * 2;
  AdoptProbe(negotiated);
  ChooseAlternateSetting(dev, g_Driver.MaxPayloadTransferSize);
  PrepareFramePipeline(dev, code, width, height);
  return STATUS_SUCCESS;
}

NTSTATUS CommitVideoStream(CameraDeviceState* dev) {
  // The record's routines are valid only when its version says so.
  PFNUSBCAMD_CommitBracket bracket =
      dev->ClassInterface.Interface.Version != 0 ? dev->ClassInterface.USBCAMD_CommitBracket : nullptr;
  if (bracket) bracket(dev, 0);
  NTSTATUS status = STATUS_SUCCESS;
  if (g_Driver.CommitNeeded && g_Driver.ProbeCommitBuffer) {
    status = SendControlRequest(dev, uvc::SET_CUR, kCommit, kStreamingIndex, g_Driver.ProbeCommitBuffer, uvc::kProbeCommitSize,
                                kControlSet);
    // A commit the camera refused is still needed.
    if (NT_SUCCESS(status)) g_Driver.CommitNeeded = FALSE;
    if (bracket) bracket(dev, 0);
  }
  return status;
}

NTSTATUS StartCaptureStream0(CameraDeviceState* dev) {
  dev->FrameCounter = 0;
  if (g_Driver.ProbeCommitBuffer) ExFreePool(g_Driver.ProbeCommitBuffer);
  g_Driver.ProbeCommitBuffer = static_cast<PUCHAR>(ExAllocatePool(NonPagedPool, uvc::kProbeCommitSize));
  if (!g_Driver.ProbeCommitBuffer) return STATUS_INSUFFICIENT_RESOURCES;
  FillStartProbe(dev, g_Driver.ProbeCommitBuffer);

  ULONG led = 0;
  ReadDwordSetting(qcam::kKeyCurrent, u"LEDCtrlTmp", &led, 0);
  SetCameraLed(dev, led);
  NTSTATUS committed = CommitVideoStream(dev);
  if (!NT_SUCCESS(committed)) return committed;
  dev->StillPending = 0;
  dev->StillTrigger = 0;
  dev->SnapshotButtonStill = 0;
  UpdateCameraStatus(qcam::kStatusStreaming, 0);

  // Tuning values: a missing value reads 0 and replaces the built-in default.
  for (int p = 0; p < qcam::kFaceParamCount; ++p) {
    ULONG v = 0;
    ReadDwordSetting(qcam::kKeyCurrent, qcam::kFaceParamNames[p], &v, 0);
    g_Driver.Face.Param[p + 1] = LONG(v);
  }
  for (int s = 0; s < qcam::kSkinRuleSetCount; ++s)
    for (int k = 0; k < qcam::kSkinRuleCount; ++k) {
      ULONG v = 0;
      ReadDwordSetting(qcam::kKeyCurrent, qcam::kSkinRuleNames[s][k], &v, 0);
      g_Driver.Face.SkinRules[s][k] = LONG(v);
    }
  return STATUS_SUCCESS;
}

NTSTATUS StopCaptureStream0(CameraDeviceState* dev) {
  if (dev->DeviceGone) return STATUS_IO_DEVICE_ERROR;
  dev->StillPending = 0;
  UpdateCameraStatus(0, qcam::kStatusStreaming);
  return STATUS_SUCCESS;
}

VOID ReleaseFrameBuffers() {
  std::lock_guard<std::mutex> guard(g_FrameLock);
  FreeEffectBuffers();
}

NTSTATUS FreeBandwidthStream0(CameraDeviceState* dev) {
  g_Driver.FramesMayBeProcessed.store(0);
  std::lock_guard<std::mutex> guard(g_FrameLock);
  if (dev->ScratchBuffer) ExFreePool(dev->ScratchBuffer);
  dev->ScratchBuffer = nullptr;
  dev->ScratchSize = 0;
  if (g_Driver.ProbeCommitBuffer) ExFreePool(g_Driver.ProbeCommitBuffer);
  g_Driver.ProbeCommitBuffer = nullptr;
  FreeEffectBuffers();
  FreeFaceTrackingBuffers();
  FreeZoomBuffers(dev);
  return STATUS_SUCCESS;
}

// ---- the frame pipeline ---------------------------------------------------------------------------

// Bytes a picture of the current size occupies in a layout.
static ULONGLONG PictureBytes(LONG formatIndex, LONG width, LONG height) {
  ULONGLONG pixels = ULONGLONG(ULONG(width)) * ULONG(height);
  switch (formatIndex) {
    case qcam::kFormatI420: return pixels * 3 / 2;
    case qcam::kFormatRGB24: return pixels * 3;
    case qcam::kFormatYUY2: return pixels * 2;
    default: return 0;
  }
}

static VOID WriteSnapshot(CameraDeviceState* dev, const UCHAR* output, ULONG outputLength, ULONG bytesReturned,
                          const UCHAR* raw, ULONG rawLength) {
  bool mjpeg = dev->OutputFormatCode == qcam::kFourCC_MJPG;
  ULONG imageSize;
  USHORT imageFormat;
  if (mjpeg) {
    imageSize = ULONG(dev->Width) * ULONG(dev->Height) * 3;
    imageFormat = qcam::kFormatRGB24;
  } else {
    // An empty frame (failed decode, short buffer) is not a picture: the
    // snapshot waits for the next good frame.
    if (bytesReturned == 0) return;
    imageSize = outputLength;
    imageFormat = USHORT(dev->FormatIndex);
  }
  PUCHAR file = static_cast<PUCHAR>(ExAllocatePool(NonPagedPool, qcam::kSnapshotHeaderSize + size_t(imageSize)));
  if (!file) return;  // still pending: retried on the next frame
  if (mjpeg) {
    if (!dev->ScratchBuffer) {
      dev->ScratchSize = ULONG(dev->Width) * ULONG(dev->Height) * 2;
      dev->ScratchBuffer = static_cast<PUCHAR>(ExAllocatePool(NonPagedPool, dev->ScratchSize));
    }
    ULONG decoded = dev->ScratchBuffer ? DecodeJPEGToRGB24(file + qcam::kSnapshotHeaderSize, imageSize, raw, rawLength, dev)
                                       : 0;
    if (dev->ScratchBuffer) ExFreePool(dev->ScratchBuffer);
    dev->ScratchBuffer = nullptr;
    if (decoded == 0) {
      // A frame the decoder refused leaves no half-written snapshot; the
      // next frame is tried.
      ExFreePool(file);
      return;
    }
  } else {
    memcpy(file + qcam::kSnapshotHeaderSize, output, imageSize);
  }
  USHORT requestedWidth = USHORT(dev->Width), requestedHeight = USHORT(dev->Height);
  if (dev->SnapshotSizeIndex < ULONG(qcam::kSnapshotSizeCount)) {
    requestedWidth = qcam::kSnapshotSizes[dev->SnapshotSizeIndex].width;
    requestedHeight = qcam::kSnapshotSizes[dev->SnapshotSizeIndex].height;
  }
  qcam::SnapshotFileHeader header = {};
  header.dwImageSize = imageSize;
  header.wFormatIndex = imageFormat;
  header.wWidth = USHORT(dev->Width);
  header.wHeight = USHORT(dev->Height);
  header.wRequestedWidth = requestedWidth;
  header.wRequestedHeight = requestedHeight;
  qcam::StoreSnapshotHeader(header, file);
  NTSTATUS written = WriteWholeFile(kSnapshotPath, file, qcam::kSnapshotHeaderSize + imageSize);
  ExFreePool(file);
  // A file that could not be written is not announced: the snapshot stays
  // pending and is tried again on the next frame.
  if (!NT_SUCCESS(written)) return;
  dev->StillPending = 0;
  UpdateCameraStatus(qcam::kStatusSnapshotReady, 0);
}

NTSTATUS ProcessRawFrame(CameraDeviceState* dev, PUCHAR output, ULONG outputLength, const UCHAR* raw,
                         ULONG rawLength, PULONG bytesReturned) {
  if (!output || !raw || !g_Driver.FramesMayBeProcessed.load() || dev->DeviceGone) return STATUS_SUCCESS;
  std::lock_guard<std::mutex> guard(g_FrameLock);
  // Re-checked under the lock: bandwidth may have been freed meanwhile.
  if (!g_Driver.FramesMayBeProcessed.load() || dev->DeviceGone) return STATUS_SUCCESS;
  dev->DebugFlags |= 1;

  ULONG returned = 0;
  ULONG code = dev->OutputFormatCode;
  if (code == qcam::kFourCC_I420) {
    dev->FormatIndex = qcam::kFormatI420;
    if (dev->ScratchBuffer) returned = DecodeJPEGToI420(output, outputLength, raw, rawLength, dev);
  } else if (code == qcam::kFourCC_YUY2 || code == qcam::kFourCC_MJPG) {
    dev->FormatIndex = code == qcam::kFourCC_YUY2 ? qcam::kFormatYUY2 : qcam::kFormatMJPG;
    if (outputLength >= rawLength) {
      memcpy(output, raw, rawLength);
      returned = rawLength;
    }
  } else if (code == 0) {
    dev->FormatIndex = qcam::kFormatRGB24;
    if (dev->ScratchBuffer) returned = DecodeJPEGToRGB24(output, outputLength, raw, rawLength, dev);
  }
  *bytesReturned = returned;

  // Zoom, tracking and effects work on whole pictures of the stream's size:
  // a short frame (fewer bytes than the picture) passes as it came, never
  // processed together with the stale bytes after it.
  bool whole = returned != 0 && PictureBytes(dev->FormatIndex, dev->Width, dev->Height) <= returned;
  ULONG flags = __atomic_load_n(&g_Driver.Face.Flags, __ATOMIC_ACQUIRE);
  if ((flags & qcam::kFaceTrackFaces) && dev->Width <= 640) {
    if (whole) RunFaceTrackingBranch(dev, output, returned);
  } else {
    // Tracking cannot run at this width: only its own bit is cleared, so
    // that a property request changing the other bits meanwhile is kept.
    if (flags & qcam::kFaceTrackFaces) __atomic_fetch_and(&g_Driver.Face.Flags, ~qcam::kFaceTrackFaces, __ATOMIC_ACQ_REL);
    if (whole && dev->ZoomEnable) {
      // The rebuild request is taken before the window is read: a zoom
      // property that moves the window after this point asks again and is
      // served on the next frame.
      ULONG rebuild = __atomic_exchange_n(&dev->ZoomTableRebuild, 0u, __ATOMIC_ACQ_REL);
      ApplyZoom(dev, output, dev->ZoomScale, dev->ZoomWindowLeft, dev->ZoomWindowTop, TRUE, dev->ZoomTable,
                &rebuild);
      if (rebuild) __atomic_fetch_or(&dev->ZoomTableRebuild, rebuild, __ATOMIC_ACQ_REL);
    }
    if (whole && dev->SpecialEffect != qcam::kEffectNone) {
      SetEffectPicture(dev->FormatIndex, dev->Width, dev->Height, dev->SpecialEffect);
      ApplySpecialEffect(output, returned);
    }
  }

  if (dev->StillPending == 1 && !dev->StillStreamRunning)
    WriteSnapshot(dev, output, outputLength, returned, raw, rawLength);
  dev->FrameCounter++;
  return STATUS_SUCCESS;
}
