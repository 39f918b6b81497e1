// The enumerators DirectShow hands out (IEnumPins, IEnumFilters,
// IEnumMoniker, IEnumMediaTypes): a snapshot of the items taken when the
// enumerator is made, each held with a reference.
#pragma once

#include <strmif.h>

#include <vector>

#include "platform/dshow/com_object.h"

namespace dshow {

template <class Enum, class Item, const IID& kIid>
class PointerEnumerator final : public ComObject<PointerEnumerator<Enum, Item, kIid>, Enum> {
 public:
  explicit PointerEnumerator(std::vector<Item*> items, size_t position = 0)
      : items_(std::move(items)), position_(position) {
    for (Item* item : items_) item->AddRef();
  }

  void* Find(REFIID riid) {
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, kIid)) return static_cast<Enum*>(this);
    return nullptr;
  }

  STDMETHODIMP Next(ULONG count, Item** out, ULONG* fetched) override {
    if (fetched) *fetched = 0;
    if (!out) return E_POINTER;
    if (count > 1 && !fetched) return E_INVALIDARG;
    ULONG n = 0;
    while (n < count && position_ < items_.size()) {
      out[n] = items_[position_++];
      out[n]->AddRef();
      ++n;
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  STDMETHODIMP Skip(ULONG count) override {
    if (count > items_.size() - position_) {
      position_ = items_.size();
      return S_FALSE;
    }
    position_ += count;
    return S_OK;
  }
  STDMETHODIMP Reset() override {
    position_ = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(Enum** out) override {
    if (!out) return E_POINTER;
    *out = new (std::nothrow) PointerEnumerator(items_, position_);
    return *out ? S_OK : E_OUTOFMEMORY;
  }

 private:
  ~PointerEnumerator() override {
    for (Item* item : items_) item->Release();
  }
  std::vector<Item*> items_;
  size_t position_;
};

typedef PointerEnumerator<IEnumPins, IPin, IID_IEnumPins> PinEnumerator;
typedef PointerEnumerator<IEnumFilters, IBaseFilter, IID_IEnumFilters> FilterEnumerator;
typedef PointerEnumerator<IEnumMoniker, IMoniker, IID_IEnumMoniker> MonikerEnumerator;

// The media types of a pin that offers none.
class EmptyMediaTypeEnumerator final : public ComObject<EmptyMediaTypeEnumerator, IEnumMediaTypes> {
 public:
  void* Find(REFIID riid) {
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IEnumMediaTypes))
      return static_cast<IEnumMediaTypes*>(this);
    return nullptr;
  }
  STDMETHODIMP Next(ULONG count, AM_MEDIA_TYPE** out, ULONG* fetched) override {
    if (fetched) *fetched = 0;
    if (!out) return E_POINTER;
    if (count > 1 && !fetched) return E_INVALIDARG;
    return count == 0 ? S_OK : S_FALSE;
  }
  STDMETHODIMP Skip(ULONG count) override { return count == 0 ? S_OK : S_FALSE; }
  STDMETHODIMP Reset() override { return S_OK; }
  STDMETHODIMP Clone(IEnumMediaTypes** out) override {
    if (!out) return E_POINTER;
    *out = new (std::nothrow) EmptyMediaTypeEnumerator();
    return *out ? S_OK : E_OUTOFMEMORY;
  }
};

}  // namespace dshow
