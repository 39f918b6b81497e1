// Stream formats offered to capture applications: the stream information,
// the walk of the camera's configuration descriptor, the capture format slots
// built from it, and format matching and intersection.
#include "driver/core/formats.h"

#include <cstddef>
#include <cstring>

#include "shared/qcam_defs.h"

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
const KS_VIDEOINFOHEADER* VideoInfoOf(const KSDATAFORMAT* format) {
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
