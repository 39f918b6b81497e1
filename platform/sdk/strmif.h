// strmif.h of the Windows SDK, reduced to what the package uses: media types,
// pins and filters, the filter graph and the capture graph builder, the
// device enumerator and the filter mappers, and the camera interfaces of a
// capture filter (IAMVideoProcAmp, IAMCameraControl, IAMVideoControl) and of
// its pins (IKsPropertySet).
#pragma once

#include "windows.h"
#include "objbase.h"

typedef LONGLONG REFERENCE_TIME;
typedef double REFTIME;
typedef DWORD_PTR HSEMAPHORE;
typedef DWORD_PTR HEVENT;

typedef struct _AMMediaType {
  GUID majortype;
  GUID subtype;
  BOOL bFixedSizeSamples;
  BOOL bTemporalCompression;
  ULONG lSampleSize;
  GUID formattype;
  IUnknown* pUnk;
  ULONG cbFormat;
  BYTE* pbFormat;
} AM_MEDIA_TYPE;

typedef enum _PinDirection { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 } PIN_DIRECTION;
typedef enum _FilterState { State_Stopped = 0, State_Paused = 1, State_Running = 2 } FILTER_STATE;

#define MAX_PIN_NAME 128
#define MAX_FILTER_NAME 128

struct IPin;
struct IBaseFilter;
struct IFilterGraph;
struct IGraphBuilder;
struct IEnumPins;
struct IEnumMediaTypes;
struct IEnumFilters;
struct IEnumRegFilters;
struct IReferenceClock;
struct IMediaSample;
struct IFileSinkFilter;
struct IAMCopyCaptureFileProgress;

typedef struct _PinInfo {
  IBaseFilter* pFilter;
  PIN_DIRECTION dir;
  WCHAR achName[MAX_PIN_NAME];
} PIN_INFO;

typedef struct _FilterInfo {
  WCHAR achName[MAX_FILTER_NAME];
  IFilterGraph* pGraph;
} FILTER_INFO;

// ---- interface identifiers ----------------------------------------------------
DEFINE_GUID(IID_IPin, 0x56A86891, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
DEFINE_GUID(IID_IEnumPins, 0x56A86892, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
DEFINE_GUID(IID_IEnumFilters, 0x56A86893, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
DEFINE_GUID(IID_IBaseFilter, 0x56A86895, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
DEFINE_GUID(IID_IReferenceClock, 0x56A86897, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
DEFINE_GUID(IID_IMediaFilter, 0x56A86899, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
DEFINE_GUID(IID_IMediaSample, 0x56A8689A, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
DEFINE_GUID(IID_IFilterGraph, 0x56A8689F, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
DEFINE_GUID(IID_IFilterMapper, 0x56A868A3, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
DEFINE_GUID(IID_IEnumRegFilters, 0x56A868A4, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
DEFINE_GUID(IID_IGraphBuilder, 0x56A868A9, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
DEFINE_GUID(IID_IEnumMediaTypes, 0x89C31040, 0x846B, 0x11CE, 0x97, 0xD3, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A);
DEFINE_GUID(IID_IFilterMapper2, 0xB79BB0B0, 0x33C1, 0x11D1, 0xAB, 0xE1, 0x00, 0xA0, 0xC9, 0x05, 0xF3, 0x75);
DEFINE_GUID(IID_ICreateDevEnum, 0x29840822, 0x5B84, 0x11D0, 0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86);
DEFINE_GUID(IID_ICaptureGraphBuilder2, 0x93E5A4E0, 0x2D50, 0x11D2, 0xAB, 0xFA, 0x00, 0xA0, 0xC9, 0xC6, 0xE3, 0x8D);
DEFINE_GUID(IID_IFileSinkFilter, 0xA2104830, 0x7C70, 0x11CF, 0x8B, 0xCE, 0x00, 0xAA, 0x00, 0xA3, 0xF1, 0xA6);
DEFINE_GUID(IID_IAMCopyCaptureFileProgress, 0x670D1D20, 0xA068, 0x11D0, 0xB3, 0xF0, 0x00, 0xAA, 0x00, 0x37, 0x61,
            0xC5);
DEFINE_GUID(IID_IAMVideoProcAmp, 0xC6E13360, 0x30AC, 0x11D0, 0xA1, 0x8C, 0x00, 0xA0, 0xC9, 0x11, 0x89, 0x56);
DEFINE_GUID(IID_IAMCameraControl, 0xC6E13370, 0x30AC, 0x11D0, 0xA1, 0x8C, 0x00, 0xA0, 0xC9, 0x11, 0x89, 0x56);
DEFINE_GUID(IID_IAMVideoControl, 0x6A2E0670, 0x28E4, 0x11D0, 0xA1, 0x8C, 0x00, 0xA0, 0xC9, 0x11, 0x89, 0x56);
DEFINE_GUID(IID_IKsPropertySet, 0x31EFAC30, 0x515C, 0x11D0, 0xA9, 0xAA, 0x00, 0xAA, 0x00, 0x61, 0xBE, 0x93);

// ---- pins, filters and the graph -------------------------------------------------
struct IPin : public IUnknown {
  STDMETHOD(Connect)(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) PURE;
  STDMETHOD(ReceiveConnection)(IPin* pConnector, const AM_MEDIA_TYPE* pmt) PURE;
  STDMETHOD(Disconnect)() PURE;
  STDMETHOD(ConnectedTo)(IPin** pPin) PURE;
  STDMETHOD(ConnectionMediaType)(AM_MEDIA_TYPE* pmt) PURE;
  STDMETHOD(QueryPinInfo)(PIN_INFO* pInfo) PURE;
  STDMETHOD(QueryDirection)(PIN_DIRECTION* pPinDir) PURE;
  STDMETHOD(QueryId)(LPWSTR* Id) PURE;
  STDMETHOD(QueryAccept)(const AM_MEDIA_TYPE* pmt) PURE;
  STDMETHOD(EnumMediaTypes)(IEnumMediaTypes** ppEnum) PURE;
  STDMETHOD(QueryInternalConnections)(IPin** apPin, ULONG* nPin) PURE;
  STDMETHOD(EndOfStream)() PURE;
  STDMETHOD(BeginFlush)() PURE;
  STDMETHOD(EndFlush)() PURE;
  STDMETHOD(NewSegment)(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) PURE;
};

struct IEnumPins : public IUnknown {
  STDMETHOD(Next)(ULONG cPins, IPin** ppPins, ULONG* pcFetched) PURE;
  STDMETHOD(Skip)(ULONG cPins) PURE;
  STDMETHOD(Reset)() PURE;
  STDMETHOD(Clone)(IEnumPins** ppEnum) PURE;
};

struct IEnumMediaTypes : public IUnknown {
  STDMETHOD(Next)(ULONG cMediaTypes, AM_MEDIA_TYPE** ppMediaTypes, ULONG* pcFetched) PURE;
  STDMETHOD(Skip)(ULONG cMediaTypes) PURE;
  STDMETHOD(Reset)() PURE;
  STDMETHOD(Clone)(IEnumMediaTypes** ppEnum) PURE;
};

struct IReferenceClock : public IUnknown {
  STDMETHOD(GetTime)(REFERENCE_TIME* pTime) PURE;
  STDMETHOD(AdviseTime)(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, HEVENT hEvent,
                        DWORD_PTR* pdwAdviseCookie) PURE;
  STDMETHOD(AdvisePeriodic)(REFERENCE_TIME startTime, REFERENCE_TIME periodTime, HSEMAPHORE hSemaphore,
                            DWORD_PTR* pdwAdviseCookie) PURE;
  STDMETHOD(Unadvise)(DWORD_PTR dwAdviseCookie) PURE;
};

struct IMediaFilter : public IPersist {
  STDMETHOD(Stop)() PURE;
  STDMETHOD(Pause)() PURE;
  STDMETHOD(Run)(REFERENCE_TIME tStart) PURE;
  STDMETHOD(GetState)(DWORD dwMilliSecsTimeout, FILTER_STATE* State) PURE;
  STDMETHOD(SetSyncSource)(IReferenceClock* pClock) PURE;
  STDMETHOD(GetSyncSource)(IReferenceClock** pClock) PURE;
};

struct IBaseFilter : public IMediaFilter {
  STDMETHOD(EnumPins)(IEnumPins** ppEnum) PURE;
  STDMETHOD(FindPin)(LPCWSTR Id, IPin** ppPin) PURE;
  STDMETHOD(QueryFilterInfo)(FILTER_INFO* pInfo) PURE;
  STDMETHOD(JoinFilterGraph)(IFilterGraph* pGraph, LPCWSTR pName) PURE;
  STDMETHOD(QueryVendorInfo)(LPWSTR* pVendorInfo) PURE;
};

struct IEnumFilters : public IUnknown {
  STDMETHOD(Next)(ULONG cFilters, IBaseFilter** ppFilter, ULONG* pcFetched) PURE;
  STDMETHOD(Skip)(ULONG cFilters) PURE;
  STDMETHOD(Reset)() PURE;
  STDMETHOD(Clone)(IEnumFilters** ppEnum) PURE;
};

struct IFilterGraph : public IUnknown {
  STDMETHOD(AddFilter)(IBaseFilter* pFilter, LPCWSTR pName) PURE;
  STDMETHOD(RemoveFilter)(IBaseFilter* pFilter) PURE;
  STDMETHOD(EnumFilters)(IEnumFilters** ppEnum) PURE;
  STDMETHOD(FindFilterByName)(LPCWSTR pName, IBaseFilter** ppFilter) PURE;
  STDMETHOD(ConnectDirect)(IPin* ppinOut, IPin* ppinIn, const AM_MEDIA_TYPE* pmt) PURE;
  STDMETHOD(Reconnect)(IPin* ppin) PURE;
  STDMETHOD(Disconnect)(IPin* ppin) PURE;
  STDMETHOD(SetDefaultSyncSource)() PURE;
};

struct IGraphBuilder : public IFilterGraph {
  STDMETHOD(Connect)(IPin* ppinOut, IPin* ppinIn) PURE;
  STDMETHOD(Render)(IPin* ppinOut) PURE;
  STDMETHOD(RenderFile)(LPCWSTR lpcwstrFile, LPCWSTR lpcwstrPlayList) PURE;
  STDMETHOD(AddSourceFilter)(LPCWSTR lpcwstrFileName, LPCWSTR lpcwstrFilterName, IBaseFilter** ppFilter) PURE;
  STDMETHOD(SetLogFile)(DWORD_PTR hFile) PURE;
  STDMETHOD(Abort)() PURE;
  STDMETHOD(ShouldOperationContinue)() PURE;
};

struct IMediaSample : public IUnknown {
  STDMETHOD(GetPointer)(BYTE** ppBuffer) PURE;
  STDMETHOD_(LONG, GetSize)() PURE;
  STDMETHOD(GetTime)(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) PURE;
  STDMETHOD(SetTime)(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) PURE;
  STDMETHOD(IsSyncPoint)() PURE;
  STDMETHOD(SetSyncPoint)(BOOL bIsSyncPoint) PURE;
  STDMETHOD(IsPreroll)() PURE;
  STDMETHOD(SetPreroll)(BOOL bIsPreroll) PURE;
  STDMETHOD_(LONG, GetActualDataLength)() PURE;
  STDMETHOD(SetActualDataLength)(LONG length) PURE;
  STDMETHOD(GetMediaType)(AM_MEDIA_TYPE** ppMediaType) PURE;
  STDMETHOD(SetMediaType)(AM_MEDIA_TYPE* pMediaType) PURE;
  STDMETHOD(IsDiscontinuity)() PURE;
  STDMETHOD(SetDiscontinuity)(BOOL bDiscontinuity) PURE;
  STDMETHOD(GetMediaTime)(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) PURE;
  STDMETHOD(SetMediaTime)(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) PURE;
};

// ---- the device enumerator, the capture graph builder and the mappers -------------
#define CDEF_CLASS_DEFAULT 0x1
#define CDEF_BYPASS_CLASS_MANAGER 0x2
#define CDEF_MERIT_ABOVE_DO_NOT_USE 0x8
#define CDEF_DEVMON_CMGR_DEVICE 0x10
#define CDEF_DEVMON_DMO 0x20
#define CDEF_DEVMON_PNP_DEVICE 0x40
#define CDEF_DEVMON_FILTER 0x80
#define CDEF_DEVMON_SELECTIVE_MASK 0xf0

struct ICreateDevEnum : public IUnknown {
  STDMETHOD(CreateClassEnumerator)(REFCLSID clsidDeviceClass, IEnumMoniker** ppEnumMoniker, DWORD dwFlags) PURE;
};

struct IFileSinkFilter : public IUnknown {
  STDMETHOD(SetFileName)(LPCOLESTR pszFileName, const AM_MEDIA_TYPE* pmt) PURE;
  STDMETHOD(GetCurFile)(LPOLESTR* ppszFileName, AM_MEDIA_TYPE* pmt) PURE;
};

struct IAMCopyCaptureFileProgress : public IUnknown {
  STDMETHOD(Progress)(int iProgress) PURE;
};

struct ICaptureGraphBuilder2 : public IUnknown {
  STDMETHOD(SetFiltergraph)(IGraphBuilder* pfg) PURE;
  STDMETHOD(GetFiltergraph)(IGraphBuilder** ppfg) PURE;
  STDMETHOD(SetOutputFileName)(const GUID* pType, LPCOLESTR lpstrFile, IBaseFilter** ppf,
                               IFileSinkFilter** ppSink) PURE;
  STDMETHOD(FindInterface)(const GUID* pCategory, const GUID* pType, IBaseFilter* pf, REFIID riid,
                           void** ppint) PURE;
  STDMETHOD(RenderStream)(const GUID* pCategory, const GUID* pType, IUnknown* pSource, IBaseFilter* pfCompressor,
                          IBaseFilter* pfRenderer) PURE;
  STDMETHOD(ControlStream)(const GUID* pCategory, const GUID* pType, IBaseFilter* pFilter, REFERENCE_TIME* pstart,
                           REFERENCE_TIME* pstop, WORD wStartCookie, WORD wStopCookie) PURE;
  STDMETHOD(AllocCapFile)(LPCOLESTR lpstr, DWORDLONG dwlSize) PURE;
  STDMETHOD(CopyCaptureFile)(LPOLESTR lpwstrOld, LPOLESTR lpwstrNew, int fAllowEscAbort,
                             IAMCopyCaptureFileProgress* pCallback) PURE;
  STDMETHOD(FindPin)(IUnknown* pSource, PIN_DIRECTION pindir, const GUID* pCategory, const GUID* pType,
                     BOOL fUnconnected, int num, IPin** ppPin) PURE;
};

struct REGFILTERPINS;
struct REGFILTERPINS2;
typedef struct {
  CLSID clsMedium;
  DWORD dw1;
  DWORD dw2;
} REGPINMEDIUM;
typedef struct {
  DWORD dwVersion;
  DWORD dwMerit;
  union {
    struct {
      ULONG cPins;
      const REGFILTERPINS* rgPins;
    };
    struct {
      ULONG cPins2;
      const REGFILTERPINS2* rgPins2;
    };
  };
} REGFILTER2;

enum {
  MERIT_PREFERRED = 0x800000,
  MERIT_NORMAL = 0x600000,
  MERIT_UNLIKELY = 0x400000,
  MERIT_DO_NOT_USE = 0x200000,
  MERIT_SW_COMPRESSOR = 0x100000,
  MERIT_HW_COMPRESSOR = 0x100050
};

struct IFilterMapper : public IUnknown {
  STDMETHOD(RegisterFilter)(CLSID clsid, LPCWSTR Name, DWORD dwMerit) PURE;
  STDMETHOD(RegisterFilterInstance)(CLSID clsid, LPCWSTR Name, CLSID* MRId) PURE;
  STDMETHOD(RegisterPin)(CLSID Filter, LPCWSTR Name, BOOL bRendered, BOOL bOutput, BOOL bZero, BOOL bMany,
                         CLSID ConnectsToFilter, LPCWSTR ConnectsToPin) PURE;
  STDMETHOD(RegisterPinType)(CLSID clsFilter, LPCWSTR strName, CLSID clsMajorType, CLSID clsSubType) PURE;
  STDMETHOD(UnregisterFilter)(CLSID Filter) PURE;
  STDMETHOD(UnregisterFilterInstance)(CLSID MRId) PURE;
  STDMETHOD(UnregisterPin)(CLSID Filter, LPCWSTR Name) PURE;
  STDMETHOD(EnumMatchingFilters)(IEnumRegFilters** ppEnum, DWORD dwMerit, BOOL bInputNeeded, CLSID clsInMaj,
                                 CLSID clsInSub, BOOL bRender, BOOL bOutputNeeded, CLSID clsOutMaj,
                                 CLSID clsOutSub) PURE;
};

struct IFilterMapper2 : public IUnknown {
  STDMETHOD(CreateCategory)(REFCLSID clsidCategory, DWORD dwCategoryMerit, LPCWSTR Description) PURE;
  STDMETHOD(UnregisterFilter)(const CLSID* pclsidCategory, LPCOLESTR szInstance, REFCLSID Filter) PURE;
  STDMETHOD(RegisterFilter)(REFCLSID clsidFilter, LPCWSTR Name, IMoniker** ppMoniker, const CLSID* pclsidCategory,
                            LPCOLESTR szInstance, const REGFILTER2* prf2) PURE;
  STDMETHOD(EnumMatchingFilters)(IEnumMoniker** ppEnum, DWORD dwFlags, BOOL bExactMatch, DWORD dwMerit,
                                 BOOL bInputNeeded, DWORD cInputTypes, const GUID* pInputTypes,
                                 const REGPINMEDIUM* pMedIn, const CLSID* pPinCategoryIn, BOOL bRender,
                                 BOOL bOutputNeeded, DWORD cOutputTypes, const GUID* pOutputTypes,
                                 const REGPINMEDIUM* pMedOut, const CLSID* pPinCategoryOut) PURE;
};

// ---- the camera interfaces of a capture filter --------------------------------------
typedef enum tagVideoProcAmpProperty {
  VideoProcAmp_Brightness = 0,
  VideoProcAmp_Contrast = 1,
  VideoProcAmp_Hue = 2,
  VideoProcAmp_Saturation = 3,
  VideoProcAmp_Sharpness = 4,
  VideoProcAmp_Gamma = 5,
  VideoProcAmp_ColorEnable = 6,
  VideoProcAmp_WhiteBalance = 7,
  VideoProcAmp_BacklightCompensation = 8,
  VideoProcAmp_Gain = 9
} VideoProcAmpProperty;
typedef enum tagVideoProcAmpFlags { VideoProcAmp_Flags_Auto = 0x1, VideoProcAmp_Flags_Manual = 0x2 } VideoProcAmpFlags;

typedef enum tagCameraControlProperty {
  CameraControl_Pan = 0,
  CameraControl_Tilt,
  CameraControl_Roll,
  CameraControl_Zoom,
  CameraControl_Exposure,
  CameraControl_Iris,
  CameraControl_Focus
} CameraControlProperty;
typedef enum tagCameraControlFlags {
  CameraControl_Flags_Auto = 0x1,
  CameraControl_Flags_Manual = 0x2
} CameraControlFlags;

typedef enum tagVideoControlFlags {
  VideoControlFlag_FlipHorizontal = 0x1,
  VideoControlFlag_FlipVertical = 0x2,
  VideoControlFlag_ExternalTriggerEnable = 0x4,
  VideoControlFlag_Trigger = 0x8
} VideoControlFlags;

struct IAMVideoProcAmp : public IUnknown {
  STDMETHOD(GetRange)(LONG Property, LONG* pMin, LONG* pMax, LONG* pSteppingDelta, LONG* pDefault,
                      LONG* pCapsFlags) PURE;
  STDMETHOD(Set)(LONG Property, LONG lValue, LONG Flags) PURE;
  STDMETHOD(Get)(LONG Property, LONG* lValue, LONG* Flags) PURE;
};

struct IAMCameraControl : public IUnknown {
  STDMETHOD(GetRange)(LONG Property, LONG* pMin, LONG* pMax, LONG* pSteppingDelta, LONG* pDefault,
                      LONG* pCapsFlags) PURE;
  STDMETHOD(Set)(LONG Property, LONG lValue, LONG Flags) PURE;
  STDMETHOD(Get)(LONG Property, LONG* lValue, LONG* Flags) PURE;
};

struct IAMVideoControl : public IUnknown {
  STDMETHOD(GetCaps)(IPin* pPin, LONG* pCapsFlags) PURE;
  STDMETHOD(SetMode)(IPin* pPin, LONG Mode) PURE;
  STDMETHOD(GetMode)(IPin* pPin, LONG* Mode) PURE;
  STDMETHOD(GetCurrentActualFrameRate)(IPin* pPin, LONGLONG* ActualFrameRate) PURE;
  STDMETHOD(GetMaxAvailableFrameRate)(IPin* pPin, LONG iIndex, SIZE Dimensions, LONGLONG* MaxAvailableFrameRate) PURE;
  STDMETHOD(GetFrameRateList)(IPin* pPin, LONG iIndex, SIZE Dimensions, LONG* ListSize, LONGLONG** FrameRates) PURE;
};

// Pin properties through IKsPropertySet (AMPROPSETID_Pin).
#define KSPROPERTY_SUPPORT_GET 1
#define KSPROPERTY_SUPPORT_SET 2
typedef enum AMPROPERTY_PIN { AMPROPERTY_PIN_CATEGORY = 0, AMPROPERTY_PIN_MEDIUM = 1 } AMPROPERTY_PIN;

struct IKsPropertySet : public IUnknown {
  STDMETHOD(Set)(REFGUID guidPropSet, DWORD dwPropID, LPVOID pInstanceData, DWORD cbInstanceData, LPVOID pPropData,
                 DWORD cbPropData) PURE;
  STDMETHOD(Get)(REFGUID guidPropSet, DWORD dwPropID, LPVOID pInstanceData, DWORD cbInstanceData, LPVOID pPropData,
                 DWORD cbPropData, DWORD* pcbReturned) PURE;
  STDMETHOD(QuerySupported)(REFGUID guidPropSet, DWORD dwPropID, DWORD* pTypeSupport) PURE;
};
