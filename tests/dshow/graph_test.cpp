// The graph objects as the package's programs use them: a filter graph with
// the camera's filter, a Sample Grabber and a Null Renderer side by side,
// the capture graph builder finding the still pin, and the filter mappers.
#include "tests/dshow/dshow_fixture.h"

namespace dshowtest {
namespace {

using Graph = DshowTest;

std::wstring FilterName(IBaseFilter* filter, IFilterGraph** graph = nullptr) {
  FILTER_INFO info{};
  if (FAILED(filter->QueryFilterInfo(&info))) return L"?";
  if (graph)
    *graph = info.pGraph;
  else if (info.pGraph)
    info.pGraph->Release();
  return info.achName;
}

TEST_F(Graph, FiltersJoinUnderUniqueNamesAndLeaveWithTheGraph) {
  PluggedCamera& camera = Plug();
  Ref<IGraphBuilder> graph;
  ASSERT_EQ(Create(CLSID_FilterGraph, IID_IGraphBuilder, &graph), S_OK);
  Ref<IBaseFilter> capture, grabber, renderer;
  ASSERT_EQ(BindFilter(camera.Path(), &capture), S_OK);
  ASSERT_EQ(Create(CLSID_SampleGrabber, IID_IBaseFilter, &grabber), S_OK);
  ASSERT_EQ(Create(CLSID_NullRenderer, IID_IBaseFilter, &renderer), S_OK);

  ASSERT_EQ(graph->AddFilter(capture.get(), L"Webcam Video Capture"), S_OK);
  IFilterGraph* joined = nullptr;
  EXPECT_EQ(FilterName(capture.get(), &joined), L"Webcam Video Capture");
  EXPECT_EQ(joined, static_cast<IFilterGraph*>(graph.get()));
  if (joined) joined->Release();
  EXPECT_EQ(graph->AddFilter(capture.get(), L"Again"), E_INVALIDARG);
  EXPECT_EQ(graph->AddFilter(grabber.get(), L"Webcam Video Capture"), VFW_S_DUPLICATE_NAME);
  EXPECT_EQ(FilterName(grabber.get()), L"Webcam Video Capture 0001");
  EXPECT_EQ(graph->AddFilter(renderer.get(), L"Null Renderer"), S_OK);
  EXPECT_EQ(graph->AddFilter(nullptr, L"x"), E_POINTER);
  EXPECT_EQ(RefCount(capture.get()), 2u);  // the graph holds what it has

  Ref<IBaseFilter> found;
  ASSERT_EQ(graph->FindFilterByName(L"Webcam Video Capture 0001", found.out()), S_OK);
  EXPECT_EQ(found.get(), grabber.get());
  EXPECT_EQ(graph->FindFilterByName(L"webcam video capture", found.out()), VFW_E_NOT_FOUND);
  Ref<IEnumFilters> filters;
  ASSERT_EQ(graph->EnumFilters(filters.out()), S_OK);
  IBaseFilter* all[4] = {};
  ULONG fetched = 0;
  EXPECT_EQ(filters->Next(4, all, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 3u);
  EXPECT_EQ(all[0], capture.get());
  for (ULONG k = 0; k < fetched; ++k) all[k]->Release();

  // The graph moves its filters through the run states.
  Ref<IMediaControl> control;
  ASSERT_EQ(graph->QueryInterface(IID_IMediaControl, control.vout()), S_OK);
  ASSERT_EQ(control->Run(), S_OK);
  OAFilterState graphState = State_Stopped;
  EXPECT_EQ(control->GetState(0, &graphState), S_OK);
  EXPECT_EQ(graphState, State_Running);
  FILTER_STATE state = State_Stopped;
  EXPECT_EQ(renderer->GetState(0, &state), S_OK);
  EXPECT_EQ(state, State_Running);
  ASSERT_EQ(control->Stop(), S_OK);
  control.Reset();

  // Pins of these filters never connect.
  Ref<IPin> still, input;
  ASSERT_EQ(capture->FindPin(L"Still", still.out()), S_OK);
  ASSERT_EQ(renderer->FindPin(L"In", input.out()), S_OK);
  EXPECT_EQ(graph->ConnectDirect(still.get(), input.get(), nullptr), VFW_E_NO_ACCEPTABLE_TYPES);
  EXPECT_EQ(graph->Connect(still.get(), input.get()), VFW_E_CANNOT_CONNECT);
  EXPECT_EQ(graph->Render(still.get()), VFW_E_CANNOT_RENDER);

  ASSERT_EQ(graph->RemoveFilter(renderer.get()), S_OK);
  EXPECT_EQ(FilterName(renderer.get(), &joined), L"");
  EXPECT_EQ(joined, nullptr);
  EXPECT_EQ(graph->RemoveFilter(renderer.get()), VFW_E_NOT_FOUND);

  // The last reference to the graph lets its filters go (the enumerator's
  // snapshot and the pins held them too).
  filters.Reset();
  still.Reset();
  input.Reset();
  graph.Reset();
  EXPECT_EQ(RefCount(capture.get()), 1u);
  EXPECT_EQ(FilterName(capture.get(), &joined), L"");
}

TEST_F(Graph, CaptureGraphBuilderFindsTheStillPin) {
  PluggedCamera& camera = Plug();
  Ref<ICaptureGraphBuilder2> builder;
  Ref<IGraphBuilder> graph, own;
  ASSERT_EQ(Create(CLSID_CaptureGraphBuilder2, IID_ICaptureGraphBuilder2, &builder), S_OK);
  ASSERT_EQ(Create(CLSID_FilterGraph, IID_IGraphBuilder, &graph), S_OK);
  EXPECT_EQ(builder->SetFiltergraph(nullptr), E_POINTER);
  ASSERT_EQ(builder->SetFiltergraph(graph.get()), S_OK);
  EXPECT_EQ(builder->SetFiltergraph(graph.get()), E_UNEXPECTED);
  ASSERT_EQ(builder->GetFiltergraph(own.out()), S_OK);
  EXPECT_EQ(own.get(), graph.get());

  Ref<IBaseFilter> capture;
  ASSERT_EQ(BindFilter(camera.Path(), &capture), S_OK);
  ASSERT_EQ(graph->AddFilter(capture.get(), L"Webcam Video Capture"), S_OK);
  Ref<IPin> pin;
  ASSERT_EQ(builder->FindPin(capture.get(), PINDIR_OUTPUT, &PIN_CATEGORY_STILL, nullptr, FALSE, 0, pin.out()), S_OK);
  LPWSTR id = nullptr;
  ASSERT_EQ(pin->QueryId(&id), S_OK);
  EXPECT_STREQ(id, L"Still");
  CoTaskMemFree(id);
  Ref<IPin> same;
  EXPECT_EQ(builder->FindPin(pin.get(), PINDIR_OUTPUT, &PIN_CATEGORY_STILL, nullptr, TRUE, 0, same.out()), S_OK);
  EXPECT_EQ(same.get(), pin.get());
  Ref<IPin> none;
  EXPECT_EQ(builder->FindPin(capture.get(), PINDIR_OUTPUT, &PIN_CATEGORY_STILL, nullptr, FALSE, 1, none.out()),
            E_FAIL);
  EXPECT_EQ(builder->FindPin(capture.get(), PINDIR_INPUT, nullptr, nullptr, FALSE, 0, none.out()), E_FAIL);
  EXPECT_EQ(builder->FindPin(capture.get(), PINDIR_OUTPUT, &PIN_CATEGORY_PREVIEW, nullptr, FALSE, 0, none.out()),
            E_FAIL);
  EXPECT_EQ(builder->FindPin(capture.get(), PINDIR_OUTPUT, nullptr, &MEDIATYPE_Video, FALSE, 0, none.out()), E_FAIL);
  ASSERT_EQ(builder->FindPin(capture.get(), PINDIR_OUTPUT, nullptr, nullptr, FALSE, 1, none.out()), S_OK);
  EXPECT_EQ(none.get(), pin.get());
  EXPECT_EQ(builder->FindPin(capture.get(), PINDIR_OUTPUT, nullptr, nullptr, FALSE, 0, nullptr), E_POINTER);

  Ref<IAMVideoControl> video;
  EXPECT_EQ(builder->FindInterface(&PIN_CATEGORY_CAPTURE, nullptr, capture.get(), IID_IAMVideoControl,
                                   video.vout()),
            S_OK);
  Ref<IKsPropertySet> pinProperties;
  EXPECT_EQ(builder->FindInterface(nullptr, nullptr, capture.get(), IID_IKsPropertySet, pinProperties.vout()), S_OK);
  Ref<ISampleGrabber> missing;
  EXPECT_EQ(builder->FindInterface(nullptr, nullptr, capture.get(), IID_ISampleGrabber, missing.vout()),
            E_NOINTERFACE);

  // Without a graph the builder makes its own.
  Ref<ICaptureGraphBuilder2> fresh;
  ASSERT_EQ(Create(CLSID_CaptureGraphBuilder2, IID_ICaptureGraphBuilder2, &fresh), S_OK);
  Ref<IGraphBuilder> made, madeAgain;
  ASSERT_EQ(fresh->GetFiltergraph(made.out()), S_OK);
  ASSERT_EQ(fresh->GetFiltergraph(madeAgain.out()), S_OK);
  EXPECT_EQ(made.get(), madeAgain.get());
}

TEST_F(Graph, SampleGrabberNullRendererAndMappers) {
  Ref<IBaseFilter> grabberFilter;
  ASSERT_EQ(Create(CLSID_SampleGrabber, IID_IBaseFilter, &grabberFilter), S_OK);
  Ref<ISampleGrabber> grabber;
  ASSERT_EQ(grabberFilter->QueryInterface(IID_ISampleGrabber, grabber.vout()), S_OK);
  EXPECT_EQ(grabber->SetOneShot(FALSE), S_OK);
  EXPECT_EQ(grabber->SetBufferSamples(FALSE), S_OK);
  AM_MEDIA_TYPE type{};
  EXPECT_EQ(grabber->GetConnectedMediaType(&type), VFW_E_NOT_CONNECTED);
  EXPECT_EQ(grabber->GetConnectedMediaType(nullptr), E_POINTER);
  LONG size = 0;
  EXPECT_EQ(grabber->GetCurrentBuffer(&size, nullptr), E_INVALIDARG);  // not buffering
  EXPECT_EQ(grabber->SetBufferSamples(TRUE), S_OK);
  EXPECT_EQ(grabber->GetCurrentBuffer(&size, nullptr), VFW_E_WRONG_STATE);  // nothing arrived
  EXPECT_EQ(grabber->SetCallback(nullptr, 2), E_INVALIDARG);

  // The input pin accepts what the media type allows.
  Ref<IPin> input, output;
  ASSERT_EQ(grabberFilter->FindPin(L"Input", input.out()), S_OK);
  ASSERT_EQ(grabberFilter->FindPin(L"Output", output.out()), S_OK);
  AM_MEDIA_TYPE yuy2{};
  yuy2.majortype = MEDIATYPE_Video;
  yuy2.subtype = MEDIASUBTYPE_YUY2;
  EXPECT_EQ(input->QueryAccept(&yuy2), S_OK);
  type.majortype = MEDIATYPE_Video;
  type.subtype = MEDIASUBTYPE_RGB24;
  ASSERT_EQ(grabber->SetMediaType(&type), S_OK);
  EXPECT_EQ(input->QueryAccept(&yuy2), S_FALSE);
  yuy2.subtype = MEDIASUBTYPE_RGB24;
  EXPECT_EQ(input->QueryAccept(&yuy2), S_OK);
  EXPECT_EQ(output->QueryAccept(&yuy2), S_FALSE);
  EXPECT_EQ(grabber->SetMediaType(nullptr), E_POINTER);
  EXPECT_EQ(input->ReceiveConnection(output.get(), &yuy2), E_NOTIMPL);
  Ref<IKsPropertySet> noCategory;
  EXPECT_EQ(input->QueryInterface(IID_IKsPropertySet, noCategory.vout()), E_NOINTERFACE);

  Ref<IBaseFilter> renderer;
  ASSERT_EQ(Create(CLSID_NullRenderer, IID_IBaseFilter, &renderer), S_OK);
  Ref<IEnumPins> pins;
  ASSERT_EQ(renderer->EnumPins(pins.out()), S_OK);
  IPin* only[2] = {};
  ULONG fetched = 0;
  EXPECT_EQ(pins->Next(2, only, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 1u);
  PIN_DIRECTION direction = PINDIR_OUTPUT;
  EXPECT_EQ(only[0]->QueryDirection(&direction), S_OK);
  EXPECT_EQ(direction, PINDIR_INPUT);
  only[0]->Release();
  CLSID clsid{};
  EXPECT_EQ(renderer->GetClassID(&clsid), S_OK);
  EXPECT_TRUE(IsEqualGUID(clsid, CLSID_NullRenderer));
  Ref<ISampleGrabber> notGrabber;
  EXPECT_EQ(renderer->QueryInterface(IID_ISampleGrabber, notGrabber.vout()), E_NOINTERFACE);

  // Both mappers answer both interfaces; registration is accepted.
  for (const CLSID* mapper : {&CLSID_FilterMapper2, &CLSID_FilterMapper}) {
    Ref<IFilterMapper2> m2;
    ASSERT_EQ(Create(*mapper, IID_IFilterMapper2, &m2), S_OK);
    Ref<IFilterMapper> m1;
    ASSERT_EQ(m2->QueryInterface(IID_IFilterMapper, m1.vout()), S_OK);
    EXPECT_EQ(m1->RegisterFilter(CLSID_NullRenderer, L"Null Renderer", MERIT_NORMAL), S_OK);
    REGFILTER2 registration{};
    registration.dwVersion = 1;
    EXPECT_EQ(m2->RegisterFilter(CLSID_NullRenderer, L"Null Renderer", nullptr, nullptr, nullptr, &registration),
              S_OK);
    Ref<IEnumMoniker> matching;
    EXPECT_EQ(m2->EnumMatchingFilters(matching.out(), 0, FALSE, 0, FALSE, 0, nullptr, nullptr, nullptr, FALSE, FALSE,
                                      0, nullptr, nullptr, nullptr),
              E_NOTIMPL);
  }
  Ref<IUnknown> aggregated;
  EXPECT_EQ(CoCreateInstance(CLSID_FilterGraph, grabber.get(), CLSCTX_INPROC_SERVER, IID_IUnknown,
                             aggregated.vout()),
            CLASS_E_NOAGGREGATION);
}

}  // namespace
}  // namespace dshowtest
