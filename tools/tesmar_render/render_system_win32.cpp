// tesmar-render on Windows: the framework needs no start-up here, since its windows stay hidden; the
// PNG comes from the system's imaging component; the object counts from USER.
// First, so that <windows.h> comes in as system_api.h asks for it.
#include "render_system.h"

#include <io.h>
#include <objbase.h>
#include <psapi.h>
#include <wincodec.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "atomic_file.h"

struct TRenderSystem::TState {};

TRenderSystem::TRenderSystem(int /*width*/, int /*height*/, char* /*argv*/[])
    : State(std::make_unique<TState>()) {}

TRenderSystem::~TRenderSystem() = default;

namespace {

// Releases a COM interface when it goes.
template <class Interface>
struct TReleased {
  Interface* Pointer = nullptr;
  ~TReleased() {
    if (Pointer) Pointer->Release();
  }
  Interface** operator&() { return &Pointer; }
  Interface* operator->() const { return Pointer; }
};

// The picture as a PNG file in memory, encoded by the Windows Imaging Component.
bool EncodePng(const TDib& picture, std::string& bytes) {
  TReleased<IWICImagingFactory> factory;
  TReleased<IStream> memory;
  TReleased<IWICBitmapEncoder> encoder;
  TReleased<IWICBitmapFrameEncode> frame;
  TReleased<IPropertyBag2> options;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                              reinterpret_cast<void**>(&factory))) ||
      FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &memory)) ||
      FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) ||
      FAILED(encoder->Initialize(memory.Pointer, WICBitmapEncoderNoCache)) ||
      FAILED(encoder->CreateNewFrame(&frame, &options)) || FAILED(frame->Initialize(options.Pointer))) {
    return false;
  }
  const UINT width = static_cast<UINT>(picture.Width()), height = static_cast<UINT>(picture.Height());
  // The pixels are 0x00RRGGBB words: blue, green, red and an unused byte in memory.
  WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGR;
  if (FAILED(frame->SetSize(width, height)) || FAILED(frame->SetPixelFormat(&format)) ||
      !IsEqualGUID(format, GUID_WICPixelFormat32bppBGR)) {
    return false;
  }
  auto* pixels = reinterpret_cast<BYTE*>(const_cast<std::uint32_t*>(picture.Pixels().data()));
  if (FAILED(frame->WritePixels(height, width * 4, width * height * 4, pixels)) || FAILED(frame->Commit()) ||
      FAILED(encoder->Commit())) {
    return false;
  }
  HGLOBAL global = nullptr;
  if (FAILED(GetHGlobalFromStream(memory.Pointer, &global))) return false;
  STATSTG status{};
  if (FAILED(memory->Stat(&status, STATFLAG_NONAME))) return false;
  const void* data = GlobalLock(global);
  if (!data) return false;
  bytes.assign(static_cast<const char*>(data), static_cast<std::size_t>(status.cbSize.QuadPart));
  GlobalUnlock(global);
  return true;
}

}  // namespace

bool WritePngFile(const TDib& picture, const std::string& path) {
  if (picture.Width() <= 0 || picture.Height() <= 0) return false;
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  std::string bytes;
  const bool encoded = EncodePng(picture, bytes);
  if (SUCCEEDED(com)) CoUninitialize();
  return encoded && WriteFileAtomically(path, bytes);
}

bool StandardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

namespace {
// Wine answers GetGuiResources with 0. It takes a handle's table index without the generation in
// its upper word, so there the live objects are counted by asking for each index.
long LiveHandles(bool (*alive)(ULONG_PTR index)) {
  long count = 0;
  for (ULONG_PTR index = 1; index <= 0xFFFF; ++index) count += alive(index) ? 1 : 0;
  return count;
}
}  // namespace

TResourceUse CurrentResourceUse() {
  TResourceUse use;
  PROCESS_MEMORY_COUNTERS memory{};
  if (GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory)) {
    use.MemoryKB = static_cast<long>(memory.WorkingSetSize / 1024);
  }
  use.GdiObjects = static_cast<long>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
  use.UserObjects = static_cast<long>(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS));
  // A process with a window holds USER objects, so none means the count is not kept.
  if (use.UserObjects == 0) {
    use.GdiObjects = LiveHandles([](ULONG_PTR index) {
      return GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0;
    });
    use.UserObjects = LiveHandles([](ULONG_PTR index) {
      return IsWindow(reinterpret_cast<HWND>(index)) || IsMenu(reinterpret_cast<HMENU>(index));
    });
  }
  return use;
}
