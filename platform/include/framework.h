// The application, window and dialog framework: message loop, response tables, dialogs, file dialog.
// Declared once here; platform/qt and platform/win32 each implement the back-end members, which
// system_api.h lists.
#pragma once

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <type_traits>

#include "geometry.h"
#include "system_api.h"

class TWindow;
class TFrameWindow;
class TApplication;

// A window message as the response tables see it.
struct TMessage {
  UINT Message = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;
};

// ---------------------------------------------------------------------------------------------
// Response tables: per-class lists of (message, handler), each chained to its base class's table.

using TResponseHandler = void (*)(TWindow& window, TMessage& message);

struct TResponseEntry {
  UINT Message;
  UINT CommandId;  // for WM_COMMAND: the control or menu id; otherwise unused
  TResponseHandler Handler;
};

struct TResponseTable {
  const TResponseEntry* Entries;
  std::size_t Count;
  const TResponseTable* Base;

  // The first matching entry of this table, else of the base tables; null when none matches.
  const TResponseEntry* Search(const TMessage& message) const {
    for (const TResponseTable* table = this; table; table = table->Base) {
      for (std::size_t i = 0; i < table->Count; ++i) {
        const TResponseEntry& entry = table->Entries[i];
        if (entry.Message != message.Message) continue;
        if (entry.Message == WM_COMMAND && entry.CommandId != LOWORD(message.WParam)) continue;
        return &entry;
      }
    }
    return nullptr;
  }
};

namespace response_detail {
template <class> struct MemberTraits;
template <class C, class R, class... A> struct MemberTraits<R (C::*)(A...)> {
  using Class = C;
  using Signature = R(A...);
};
template <class> inline constexpr bool always_false = false;

// Unpacks the message parameters for the handler's signature, as the system packs them.
template <auto Handler> void Crack(TWindow& window, TMessage& message) {
  using Traits = MemberTraits<decltype(Handler)>;
  using C = typename Traits::Class;
  using S = typename Traits::Signature;
  C& self = static_cast<C&>(window);
  if constexpr (std::is_same_v<S, void()>) {
    (self.*Handler)();
  } else if constexpr (std::is_same_v<S, void(UINT, TPoint&)>) {  // mouse messages, WM_SYSCOMMAND
    TPoint point(static_cast<short>(LOWORD(message.LParam)), static_cast<short>(HIWORD(message.LParam)));
    (self.*Handler)(static_cast<UINT>(message.WParam), point);
  } else if constexpr (std::is_same_v<S, void(UINT, UINT, UINT)>) {  // key messages
    (self.*Handler)(static_cast<UINT>(message.WParam), LOWORD(message.LParam), HIWORD(message.LParam));
  } else if constexpr (std::is_same_v<S, void(UINT, bool, HWND)>) {  // WM_ACTIVATE
    (self.*Handler)(LOWORD(message.WParam), HIWORD(message.WParam) != 0,
                    reinterpret_cast<HWND>(message.LParam));
  } else if constexpr (std::is_same_v<S, void(bool, DWORD)>) {  // WM_ACTIVATEAPP
    (self.*Handler)(message.WParam != 0, static_cast<DWORD>(message.LParam));
  } else if constexpr (std::is_same_v<S, void(UINT)>) {  // WM_TIMER
    (self.*Handler)(static_cast<UINT>(message.WParam));
  } else {
    static_assert(always_false<S>, "no message cracker for this handler signature");
  }
}
}  // namespace response_detail

// An entry that hands `message` to Handler, its parameters unpacked for the handler's signature.
template <auto Handler> constexpr TResponseEntry Respond(UINT message) {
  return TResponseEntry{message, 0, &response_detail::Crack<Handler>};
}

// An entry for WM_COMMAND from the control or menu item `id`; the handler takes no arguments.
template <auto Handler> constexpr TResponseEntry RespondCommand(UINT id) {
  return TResponseEntry{WM_COMMAND, id, &response_detail::Crack<Handler>};
}

// Declares a class's response table: the static table and the Find that searches it.
#define DECLARE_WINDOW_RESPONSES()                                                  \
 public:                                                                            \
  static const TResponseTable& ResponseTable();                                     \
  const TResponseEntry* Find(const TMessage& message) const override {              \
    return ResponseTable().Search(message);                                         \
  }

// ---------------------------------------------------------------------------------------------

// Raised by TApplication::Run when InitMainWindow left no main window.
class TInvalidMainWindow : public std::runtime_error {
 public:
  TInvalidMainWindow() : std::runtime_error("the application has no main window") {}
};

class TModule {
 public:
  explicit TModule(const char* name = nullptr);
  virtual ~TModule() = default;
  const char* GetName() const { return Name.c_str(); }
  HINSTANCE GetHandle() const;

 private:
  std::string Name;
};

// The program's own module, where the resources (the dialog template, the icon) are.
TModule& ProgramModule();

struct TWindowAttr {
  DWORD Style = WS_OVERLAPPEDWINDOW;
  DWORD ExStyle = 0;
  int X = 0;
  int Y = 0;
  int W = 0;
  int H = 0;
};

class TWindow {
 public:
  TWindow(TWindow* parent, const char* title = nullptr, TModule* module = nullptr);
  // An alias of a window the program does not own; deleting the alias leaves that window alone.
  explicit TWindow(HWND existing, TModule* module = nullptr);
  virtual ~TWindow();
  TWindow(const TWindow&) = delete;
  TWindow& operator=(const TWindow&) = delete;

  // The response-table lookup; derived classes override it through DECLARE_WINDOW_RESPONSES.
  virtual const TResponseEntry* Find(const TMessage& message) const { return ResponseTable().Search(message); }
  static const TResponseTable& ResponseTable();

  // Hands the message to the first matching handler, else to the default processing.
  LRESULT Dispatch(TMessage& message);

  virtual bool Create();
  virtual void SetupWindow();
  virtual void CleanupWindow();
  virtual const char* GetClassName();
  virtual void GetWindowClass(WNDCLASS& windowClass);
  void Destroy(int returnValue = 0);

  HWND GetHandle() const { return Handle; }
  bool IsAlias() const { return Alias; }
  TWindow* GetParent() const { return Parent; }
  void SetParent(TWindow* newParent);
  TModule* GetModule() const { return Module; }
  TApplication* GetApplication() const;
  const std::string& GetTitle() const { return Title; }

  bool ShowWindow(int command);
  bool PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
  // The system's default handling of the message being dispatched.
  LRESULT DefaultProcessing();
  // With a null handle every window on the screen is repainted.
  void Invalidate(bool erase = true);
  bool MoveWindow(const TRect& rect, bool repaint = false);
  bool KillTimer(UINT timerId);
  int MessageBox(const char* text, const char* caption = nullptr, UINT type = MB_OK);

  // Dialog items of this window.
  void CheckRadioButton(int firstId, int lastId, int checkId);
  void CheckDlgButton(int id, UINT check);
  UINT IsDlgButtonChecked(int id) const;
  void SetDlgItemText(int id, const char* text);
  // Copies at most size - 1 characters and a terminating zero; returns the number copied.
  int GetDlgItemText(int id, char* text, int size) const;

  // WM_CLOSE: the main window is destroyed and the quit message posted.
  void EvClose();

  TWindowAttr Attr;

  // For the back end: binds the object to its native window.
  void SetHandle(HWND handle) { Handle = handle; }
  const TMessage* GetCurrentMessage() const { return CurrentMessage; }

 protected:
  TWindow* Parent = nullptr;
  std::string Title;
  TModule* Module = nullptr;
  HWND Handle = nullptr;
  bool Alias = false;

 private:
  TMessage* CurrentMessage = nullptr;
};

class TFrameWindow : public TWindow {
 public:
  TFrameWindow(TWindow* parent, const char* title = nullptr, TWindow* clientWindow = nullptr,
               bool shrinkToClient = false, TModule* module = nullptr);
  explicit TFrameWindow(HWND existing, TModule* module = nullptr);
  ~TFrameWindow() override;

  void SetupWindow() override;
  DECLARE_WINDOW_RESPONSES()

 protected:
  TWindow* ClientWindow = nullptr;
};

class TDialog : public TWindow {
 public:
  // The template is the dialog resource of that name in the module (the program's when null).
  TDialog(TWindow* parent, const char* templateName, TModule* module = nullptr);
  ~TDialog() override;

  // Runs the dialog modally, owned by its parent; returns the code CloseWindow gave.
  virtual int Execute();
  // Creates the dialog without running it modally (SetupWindow runs as for Execute).
  bool Create() override;
  // Ends the dialog with that code.
  virtual void CloseWindow(int returnValue = IDCANCEL);
  void SetupWindow() override;

  void CmOk();      // IDOK: CloseWindow(IDOK)
  void CmCancel();  // IDCANCEL, Escape and the close box: ends with IDCANCEL, storing nothing

  const std::string& GetTemplateName() const { return TemplateName; }
  bool IsModalRunning() const { return Running; }
  int GetReturnValue() const { return ReturnValue; }

  DECLARE_WINDOW_RESPONSES()

 protected:
  std::string TemplateName;
  bool Running = false;
  int ReturnValue = IDCANCEL;
};

class TOpenSaveDialog {
 public:
  struct TData {
    // The filter's "|" separate description and pattern pairs.
    TData(DWORD flags = 0, const char* filter = nullptr, char* customFilter = nullptr,
          const char* initialDir = nullptr, const char* defaultExtension = nullptr, int maxPath = 0,
          int filterIndex = 0);
    ~TData();
    TData(const TData&) = delete;
    TData& operator=(const TData&) = delete;

    DWORD Flags;
    std::string Filter;
    char* CustomFilter;
    std::string InitialDir;
    std::string DefaultExtension;
    int FilterIndex;
    int MaxPath;
    char* FileName;  // MaxPath characters: the chosen file's full path
  };

  TOpenSaveDialog(TWindow* parent, TData& data) : Parent(parent), Data(data) {}
  virtual ~TOpenSaveDialog() = default;
  virtual int Execute() = 0;

 protected:
  TWindow* Parent;
  TData& Data;
};

class TFileOpenDialog : public TOpenSaveDialog {
 public:
  TFileOpenDialog(TWindow* parent, TData& data) : TOpenSaveDialog(parent, data) {}
  // IDOK only for an existing chosen file, whose full path is then in Data.FileName; else IDCANCEL.
  int Execute() override;
};

// When the application next has idle work, as it tells the message loop after IdleAction returned true.
struct TIdleWake {
  enum TWhen { Now, AtTick, OnMessage };
  TWhen When = Now;
  DWORD Tick = 0;  // AtTick: the tick (GetMillisecondTick) from which there is work again
};

class TApplication : public TModule {
 public:
  explicit TApplication(const char* name = nullptr);
  ~TApplication() override;  // deletes the main window

  virtual bool CanClose() { return true; }
  // InitMainWindow, create and show the main window, then MessageLoop; returns the quit code.
  virtual int Run();
  // Until the quit message: IdleAction(count++); wait for a message when it returned false, else
  // until NextIdleWake or a message, whichever comes first; dispatch every waiting message and reset
  // the count when there was any.
  virtual int MessageLoop();
  virtual bool IdleAction(long idleCount);
  // Asked after each IdleAction that returned true. The default calls it again at once.
  virtual TIdleWake NextIdleWake() { return {}; }
  virtual void InitMainWindow() {}

  TFrameWindow* GetMainWindow() const { return MainWindow; }
  void SetMainWindow(TFrameWindow* window) { MainWindow = window; }

  // Back end: dispatches every waiting message, returns how many; notes the quit message.
  int PumpWaitingMessages();
  // Back end: blocks until a message waits.
  void WaitForMessage();
  // Back end: blocks until a message waits or GetMillisecondTick reaches `tick`, waking
  // within the first millisecond of that tick.
  void WaitForMessageUntil(DWORD tick);
  // Back end: gives back what timed waits took from the system (the fine timer resolution on Windows).
  void EndTimedWaits();
  bool QuitReceived() const { return Quit; }
  int QuitCode() const { return ExitCode; }
  void ReceiveQuit(int code) {
    Quit = true;
    ExitCode = code;
  }

 protected:
  TFrameWindow* MainWindow = nullptr;

 private:
  bool Quit = false;
  int ExitCode = 0;
};

// The one application object of the process (null before it exists).
TApplication* GetApplicationObject();

// How many message boxes this program has opened so far: a window can tell the loss of activation
// that one of its own boxes brings from one that the user brings.
unsigned MessageBoxesOpened();

// Test seams: replace the modal message box and file dialog with a function, or restore them with {}.
using TMessageBoxHook = std::function<int(const char* text, const char* caption, UINT type)>;
void SetMessageBoxHook(TMessageBoxHook hook);
using TFileDialogHook = std::function<int(TOpenSaveDialog::TData& data)>;
void SetFileDialogHook(TFileDialogHook hook);

// Where a back end cannot do what was asked, it says so here (standard error).
void FrameworkTrace(const char* text);

// A window of another program, by the system's own id for it, for a saver to draw inside: a screen-saver
// host's window (an X11 window on Linux; 0 there names the screen's root window). Null when the id
// names no window. A window whose parent is an alias of it becomes its child.
HWND OpenForeignWindow(unsigned long nativeId);
