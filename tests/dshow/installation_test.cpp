// What a camera's installation announces for its device, as the capture
// filter answers it: interface handlers aggregated into the filter (with
// COM's identity rules) and the property-page list.
#include <atomic>

#include "platform/machine/builtin_classes.h"
#include "platform/machine/guid_text.h"
#include "platform/nt/platform_control.h"
#include "tests/dshow/dshow_fixture.h"

namespace dshowtest {
namespace {

constexpr uint16_t kVendor = 0x1B3F;
constexpr uint16_t kNotebook = 0x9710;
constexpr uint16_t kBasic = 0x9711;

// {5E0F3A10-7C22-4B5D-9A31-2D6C8E4F1B01}: an interface only the handler has.
DEFINE_GUID(IID_ITestExtra, 0x5E0F3A10, 0x7C22, 0x4B5D, 0x9A, 0x31, 0x2D, 0x6C, 0x8E, 0x4F, 0x1B, 0x01);
// {5E0F3A11-7C22-4B5D-9A31-2D6C8E4F1B01}: the handler's class.
DEFINE_GUID(CLSID_TestHandler, 0x5E0F3A11, 0x7C22, 0x4B5D, 0x9A, 0x31, 0x2D, 0x6C, 0x8E, 0x4F, 0x1B, 0x01);
const char* const kHandlerServer = "testhandler.ax";

struct ITestExtra : public IUnknown {
  STDMETHOD_(HANDLE, DeviceHandle)() PURE;
};

std::atomic<int> g_created{0};
std::atomic<int> g_alive{0};
std::atomic<HRESULT> g_selfQuery{S_OK};

// An interface handler as the proxy aggregates one: a non-delegating
// unknown of its own, ITestExtra delegating to the outer object, and the
// device handle taken from the outer object's IKsObject at creation.
class TestHandler final : public IUnknown {
 public:
  explicit TestHandler(IUnknown* outer) : outer_(outer), extra_(this) { ++g_alive; }
  ~TestHandler() { --g_alive; }

  STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    if (IsEqualGUID(riid, IID_IUnknown))
      *object = static_cast<IUnknown*>(this);
    else if (IsEqualGUID(riid, IID_ITestExtra))
      *object = static_cast<ITestExtra*>(&extra_);
    else
      *object = nullptr;
    if (!*object) return E_NOINTERFACE;
    static_cast<IUnknown*>(*object)->AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    ULONG left = --refs_;
    if (!left) delete this;
    return left;
  }

  static HRESULT Create(IUnknown* outer, REFIID iid, void** object) {
    *object = nullptr;
    if (!outer) return VFW_E_NEED_OWNER;
    if (!IsEqualGUID(iid, IID_IUnknown)) return E_NOINTERFACE;
    ++g_created;
    // A handler asking its outer object for its own interface while it is
    // being made must not make a second one.
    void* self = nullptr;
    g_selfQuery = outer->QueryInterface(IID_ITestExtra, &self);
    if (self) static_cast<IUnknown*>(self)->Release();
    TestHandler* h = new TestHandler(outer);
    IKsObject* ks = nullptr;
    if (SUCCEEDED(outer->QueryInterface(IID_IKsObject, reinterpret_cast<void**>(&ks)))) {
      h->handle_ = ks->KsGetObjectHandle();
      ks->Release();
    }
    *object = static_cast<IUnknown*>(h);
    return S_OK;
  }

 private:
  struct Extra final : public ITestExtra {
    explicit Extra(TestHandler* h) : handler(h) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
      return handler->outer_->QueryInterface(riid, object);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return handler->outer_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return handler->outer_->Release(); }
    STDMETHODIMP_(HANDLE) DeviceHandle() override { return handler->handle_; }
    TestHandler* handler;
  };

  IUnknown* outer_;  // not held: the outer object holds this one
  Extra extra_;
  HANDLE handle_ = nullptr;
  std::atomic<ULONG> refs_{1};
};

const platform::BuiltinClassRegistrar kRegisterHandler(
    {CLSID_TestHandler, "Test Interface Handler", kHandlerServer, "Both", &TestHandler::Create});

std::string Text(REFGUID g) { return platform::GuidToText(g); }

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

class Installation : public DshowTest {
 protected:
  void SetUp() override {
    DshowTest::SetUp();
    g_created = 0;
    // The handler's COM registration, as its module's own would write it.
    const std::string key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\" + Text(CLSID_TestHandler);
    ASSERT_TRUE(platform::RegCreateKeyPath(key + "\\InprocServer32"));
    ASSERT_TRUE(platform::RegSetString(key + "\\InprocServer32", "", std::string("C:\\Windows\\System32\\") +
                                                                        kHandlerServer));
  }
  void TearDown() override {
    DshowTest::TearDown();
    EXPECT_EQ(g_alive, 0);
  }
};

TEST_F(Installation, AnnouncedHandlerIsAggregatedByEachFilterWithTheFiltersIdentity) {
  ASSERT_TRUE(platform::AnnounceInterfaceHandler(kVendor, kNotebook, Lower(Text(IID_ITestExtra)),
                                                 Text(CLSID_TestHandler)));
  EXPECT_EQ(platform::AnnouncedInterfaceHandlers(kVendor, kNotebook),
            (std::vector<std::pair<std::string, std::string>>{{Text(IID_ITestExtra), Text(CLSID_TestHandler)}}));
  EXPECT_FALSE(platform::AnnounceInterfaceHandler(kVendor, kNotebook, "{5E0F3A10-7C22}", Text(CLSID_TestHandler)));

  PluggedCamera& notebook = Plug();
  sim::KsCameraDeviceOptions port2;
  port2.port = 2;
  PluggedCamera& basic = Plug("basic", port2);

  Ref<IBaseFilter> filter;
  ASSERT_EQ(BindFilter(notebook.Path(), &filter), S_OK);
  EXPECT_EQ(g_created, 1);  // made as the filter loads
  EXPECT_EQ(g_selfQuery.load(), E_NOINTERFACE);
  EXPECT_EQ(RefCount(filter.get()), 1u);
  Ref<ITestExtra> extra;
  ASSERT_EQ(filter->QueryInterface(IID_ITestExtra, extra.vout()), S_OK);
  EXPECT_EQ(RefCount(filter.get()), 2u);  // the handler's interface holds the filter

  Ref<IKsObject> ks;
  ASSERT_EQ(filter->QueryInterface(IID_IKsObject, ks.vout()), S_OK);
  EXPECT_EQ(extra->DeviceHandle(), ks->KsGetObjectHandle());
  Ref<IUnknown> fromExtra, fromFilter;
  ASSERT_EQ(extra->QueryInterface(IID_IUnknown, fromExtra.vout()), S_OK);
  ASSERT_EQ(filter->QueryInterface(IID_IUnknown, fromFilter.vout()), S_OK);
  EXPECT_EQ(fromExtra.get(), fromFilter.get());
  Ref<IAMVideoProcAmp> procAmp;
  EXPECT_EQ(extra->QueryInterface(IID_IAMVideoProcAmp, procAmp.vout()), S_OK);
  Ref<ITestExtra> again;
  ASSERT_EQ(filter->QueryInterface(IID_ITestExtra, again.vout()), S_OK);
  EXPECT_EQ(again.get(), extra.get());
  EXPECT_EQ(g_created, 1);

  // Another model has no announcement.
  Ref<IBaseFilter> other;
  ASSERT_EQ(BindFilter(basic.Path(), &other), S_OK);
  Ref<ITestExtra> none;
  EXPECT_EQ(other->QueryInterface(IID_ITestExtra, none.vout()), E_NOINTERFACE);

  // The handler goes with the filter's last reference.
  again.Reset();
  procAmp.Reset();
  fromExtra.Reset();
  fromFilter.Reset();
  ks.Reset();
  extra.Reset();
  EXPECT_EQ(g_alive, 1);
  filter.Reset();
  EXPECT_EQ(g_alive, 0);

  // Withdrawn, or naming a class nobody registered: no interface.
  ASSERT_TRUE(platform::RemoveInterfaceHandler(kVendor, kNotebook, Text(IID_ITestExtra)));
  EXPECT_TRUE(platform::RemoveInterfaceHandler(kVendor, kNotebook, Text(IID_ITestExtra)));
  ASSERT_EQ(BindFilter(notebook.Path(), &filter), S_OK);
  EXPECT_EQ(filter->QueryInterface(IID_ITestExtra, none.vout()), E_NOINTERFACE);
  ASSERT_TRUE(platform::AnnounceInterfaceHandler(kVendor, kNotebook, Text(IID_ITestExtra), Text(IID_ITestExtra)));
  ASSERT_EQ(BindFilter(notebook.Path(), &filter), S_OK);
  EXPECT_EQ(filter->QueryInterface(IID_ITestExtra, none.vout()), E_NOINTERFACE);
  EXPECT_EQ(g_created, 1);
}

TEST_F(Installation, PropertyPagesInAnnouncedOrder) {
  const std::vector<std::string> pages = {"{10C5EE30-5651-4E03-AF63-7AFAAD73A53A}",
                                          "{10c5ee31-5651-4e03-af63-7afaad73a53a}",
                                          "{99999999-5651-4E03-AF63-7AFAAD73A53A}"};
  ASSERT_TRUE(platform::AnnouncePropertyPages(kVendor, kNotebook, pages));
  PluggedCamera& notebook = Plug();
  Ref<IBaseFilter> filter;
  ASSERT_EQ(BindFilter(notebook.Path(), &filter), S_OK);
  Ref<ISpecifyPropertyPages> specify;
  ASSERT_EQ(filter->QueryInterface(IID_ISpecifyPropertyPages, specify.vout()), S_OK);

  auto listed = [&] {
    std::vector<std::string> out;
    CAUUID ids{};
    EXPECT_EQ(specify->GetPages(&ids), S_OK);
    for (ULONG k = 0; k < ids.cElems; ++k) out.push_back(Text(ids.pElems[k]));
    EXPECT_EQ(ids.pElems == nullptr, ids.cElems == 0);
    CoTaskMemFree(ids.pElems);
    return out;
  };
  EXPECT_EQ(listed(), (std::vector<std::string>{"{10C5EE30-5651-4E03-AF63-7AFAAD73A53A}",
                                                "{10C5EE31-5651-4E03-AF63-7AFAAD73A53A}",
                                                "{99999999-5651-4E03-AF63-7AFAAD73A53A}"}));
  // A shorter list replaces the longer one whole; a malformed one changes nothing.
  ASSERT_TRUE(platform::AnnouncePropertyPages(kVendor, kNotebook, {pages[2]}));
  EXPECT_EQ(listed(), std::vector<std::string>{pages[2]});
  EXPECT_FALSE(platform::AnnouncePropertyPages(kVendor, kNotebook, {pages[0], "not a guid"}));
  EXPECT_EQ(listed(), std::vector<std::string>{pages[2]});
  ASSERT_TRUE(platform::RemovePropertyPages(kVendor, kNotebook));
  EXPECT_TRUE(listed().empty());
  EXPECT_EQ(specify->GetPages(nullptr), E_POINTER);
  EXPECT_TRUE(platform::AnnouncedPropertyPages(kVendor, kBasic).empty());
}

}  // namespace
}  // namespace dshowtest
