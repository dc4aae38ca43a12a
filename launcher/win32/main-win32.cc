// Vantrell.exe: the launcher window, its menu and the number dialog. What
// each command does is decided by launcher/commands; this file only shows it.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "launcher/commands.h"
#include "launcher/settings.h"
#include "launcher/win32/resource.h"

namespace {

using tavelund::CommandEffect;
using tavelund::NumberField;
using tavelund::TextField;

static_assert(IDM_BOX_REVERSE == tavelund::kCommandBoxReverse);
static_assert(IDM_SHOW_LINES == tavelund::kCommandShowLines);
static_assert(IDM_FIGURE_LENGTH == tavelund::kCommandFigureLength);
static_assert(IDM_SCROLL_BACK == tavelund::kCommandScrollBack);
static_assert(IDM_BOX_SIZE == tavelund::kCommandBoxSize);
static_assert(IDM_BOX_GRID == tavelund::kCommandBoxGrid);
static_assert(IDM_DATA_EXPAND_OFF == tavelund::kCommandDataExpandOff);
static_assert(IDM_OPTIONS == tavelund::kCommandOptions);
static_assert(IDM_CHART == tavelund::kCommandChart);
static_assert(IDM_SAVE_SETTINGS == tavelund::kCommandSaveSettings);
static_assert(IDM_CLOSE == tavelund::kCommandClose);

constexpr int kMaxLoadString = 100;
constexpr int kPictureSize = 512;

HINSTANCE moduleInstance = nullptr;

// The boxes hold digits and scale words in practice; anything outside ASCII
// cannot be valid and becomes a character that makes the text invalid.
std::string editText(HWND dialog, int id) {
  HWND box = ::GetDlgItem(dialog, id);
  std::wstring wide(static_cast<std::size_t>(::GetWindowTextLengthW(box)) + 1, L'\0');
  wide.resize(
      static_cast<std::size_t>(::GetWindowTextW(box, wide.data(), static_cast<int>(wide.size()))));
  std::string text;
  for (wchar_t c : wide) text += c < 0x80 ? static_cast<char>(c) : '?';
  return text;
}

std::wstring asciiToWide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

INT_PTR CALLBACK numberDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      const auto* field = reinterpret_cast<const NumberField*>(lParam);
      ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      const tavelund::NumberDialogStart start =
          tavelund::openNumberDialog(*field, tavelund::launcherSettings());
      ::SendDlgItemMessageW(dialog, IDC_NUMBER_SLIDER, TBM_SETRANGE, TRUE,
                            MAKELPARAM(field->minimum, field->maximum));
      ::SendDlgItemMessageW(dialog, IDC_NUMBER_SLIDER, TBM_SETPOS, TRUE,
                            static_cast<LPARAM>(start.sliderPosition));
      ::SetDlgItemInt(dialog, IDC_NUMBER_BOX, start.number, FALSE);
      // The label's id is -1, shared by every static text; it is the only one.
      if (HWND label = ::FindWindowExW(dialog, nullptr, L"Static", nullptr)) {
        ::SetWindowTextW(label, asciiToWide(field->label).c_str());
      }
      return TRUE;  // focus to the first tab stop, the OK button
    }
    case WM_HSCROLL:
      if (reinterpret_cast<HWND>(lParam) == ::GetDlgItem(dialog, IDC_NUMBER_SLIDER)) {
        const auto position =
            static_cast<int>(::SendDlgItemMessageW(dialog, IDC_NUMBER_SLIDER, TBM_GETPOS, 0, 0));
        ::SetDlgItemTextW(dialog, IDC_NUMBER_BOX,
                          asciiToWide(tavelund::sliderToNumberBox(position)).c_str());
      }
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK: {
          const auto* field =
              reinterpret_cast<const NumberField*>(::GetWindowLongPtrW(dialog, DWLP_USER));
          tavelund::acceptNumberDialog(*field, editText(dialog, IDC_NUMBER_BOX),
                                       tavelund::launcherSettings());
          ::EndDialog(dialog, 1);
          return TRUE;
        }
        case IDCANCEL:
          ::EndDialog(dialog, 2);
          return TRUE;
        default:
          break;
      }
      break;
    default:
      break;
  }
  return FALSE;
}

INT_PTR CALLBACK textDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      const auto* field = reinterpret_cast<const TextField*>(lParam);
      ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      ::SendDlgItemMessageW(dialog, IDC_TEXT_BOX, EM_LIMITTEXT, tavelund::kTextBoxLimit, 0);
      ::SetDlgItemTextW(dialog, IDC_TEXT_BOX,
                        asciiToWide(tavelund::launcherSettings().*field->field).c_str());
      ::SetDlgItemTextW(dialog, IDC_TEXT_LABEL, asciiToWide(field->label).c_str());
      return TRUE;  // focus to the first tab stop, the OK button
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK: {
          const auto* field =
              reinterpret_cast<const TextField*>(::GetWindowLongPtrW(dialog, DWLP_USER));
          tavelund::acceptTextDialog(*field, editText(dialog, IDC_TEXT_BOX),
                                     tavelund::launcherSettings());
          ::EndDialog(dialog, 1);
          return TRUE;
        }
        case IDCANCEL:
          ::EndDialog(dialog, 2);
          return TRUE;
        default:
          break;
      }
      break;
    default:
      break;
  }
  return FALSE;
}

void paintPicture(HWND window) {
  PAINTSTRUCT paint;
  HDC screen = ::BeginPaint(window, &paint);
  RECT client;
  ::GetClientRect(window, &client);
  const int width = client.right - client.left;
  const int height = client.bottom - client.top;

  HDC buffer = ::CreateCompatibleDC(screen);
  HBITMAP surface = ::CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ previousSurface = ::SelectObject(buffer, surface);
  HBRUSH white = ::CreateSolidBrush(RGB(255, 255, 255));
  ::FillRect(buffer, &client, white);
  ::DeleteObject(white);

  if (HBITMAP picture = ::LoadBitmapW(moduleInstance, MAKEINTRESOURCEW(IDB_PICTURE))) {
    HDC source = ::CreateCompatibleDC(screen);
    HGDIOBJ previousPicture = ::SelectObject(source, picture);
    ::BitBlt(buffer, 0, 0, kPictureSize, kPictureSize, source, 0, 0, SRCCOPY);
    ::SelectObject(source, previousPicture);
    ::DeleteDC(source);
    ::DeleteObject(picture);
  }

  ::BitBlt(screen, 0, 0, width, height, buffer, 0, 0, SRCCOPY);
  ::SelectObject(buffer, previousSurface);
  ::DeleteObject(surface);
  ::DeleteDC(buffer);
  ::EndPaint(window, &paint);
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      tavelund::LoadSettings(tavelund::launcherSettings());
      return 0;
    case WM_PAINT:
      paintPicture(window);
      return 0;
    case WM_COMMAND: {
      const CommandEffect effect =
          tavelund::handleCommand(LOWORD(wParam), tavelund::launcherSettings());
      switch (effect.kind) {
        case CommandEffect::Kind::NotHandled:
          return ::DefWindowProcW(window, message, wParam, lParam);
        case CommandEffect::Kind::OpenNumberDialog:
          ::DialogBoxParamW(moduleInstance, MAKEINTRESOURCEW(IDD_INPUT_NUMBER), window,
                            numberDialogProc, reinterpret_cast<LPARAM>(effect.numberField));
          break;
        case CommandEffect::Kind::OpenTextDialog:
          ::DialogBoxParamW(moduleInstance, MAKEINTRESOURCEW(IDD_INPUT_TEXT), window,
                            textDialogProc, reinterpret_cast<LPARAM>(effect.textField));
          break;
        case CommandEffect::Kind::ShowMessage:
          for (const std::string& trace : effect.debugTrace) ::OutputDebugStringA(trace.c_str());
          // No owner: the launcher window stays usable while the box is open.
          ::MessageBoxA(nullptr, effect.messageText.c_str(), effect.messageCaption.c_str(),
                        MB_OK | MB_ICONINFORMATION);
          break;
        case CommandEffect::Kind::Close:
          ::DestroyWindow(window);
          break;
        case CommandEffect::Kind::Done:
          break;
      }
      return 0;
    }
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  wchar_t title[kMaxLoadString] = {};
  wchar_t className[kMaxLoadString] = {};
  ::LoadStringW(instance, IDS_APP_TITLE, title, kMaxLoadString);
  ::LoadStringW(instance, IDC_VANTRELL, className, kMaxLoadString);

  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&controls);

  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = windowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(IDI_VANTRELL));
  windowClass.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszMenuName = MAKEINTRESOURCEW(IDC_VANTRELL);
  windowClass.lpszClassName = className;
  windowClass.hIconSm = windowClass.hIcon;
  ::RegisterClassExW(&windowClass);

  moduleInstance = instance;
  const std::wstring fullTitle = std::wstring(title) + L" Gratwell";
  if (HWND running = ::FindWindowW(nullptr, fullTitle.c_str())) {
    ::SetForegroundWindow(running);
    return 0;
  }

  HWND window =
      ::CreateWindowExW(0, className, fullTitle.c_str(),
                        WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX,
                        10, 10, kPictureSize, kPictureSize, nullptr, nullptr, instance, nullptr);
  if (!window) return 0;
  ::ShowWindow(window, showCommand);
  ::UpdateWindow(window);

  // Frame, caption and menu take what they take; the picture gets exactly
  // 512 x 512. Measured from the real outer size, so a window manager that
  // changed it does not throw the client size off.
  RECT client;
  RECT outer;
  ::GetClientRect(window, &client);
  ::GetWindowRect(window, &outer);
  ::SetWindowPos(window, nullptr, 0, 0,
                 (outer.right - outer.left) + kPictureSize - (client.right - client.left),
                 (outer.bottom - outer.top) + kPictureSize - (client.bottom - client.top),
                 SWP_NOMOVE | SWP_NOZORDER);

  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}
