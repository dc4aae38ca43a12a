// Takes the README's pictures of the Windows launcher: starts Vantrell.exe
// from beside this program, in a scratch working folder, and copies from the
// screen the window, the Show Lines number dialog and the box grid dialog.
//   vantrell_screenshots.exe FOLDER
// writes launcher-windows.bmp, dialog-windows.bmp and grid-dialog-windows.bmp
// (24 bits) there. Under Wine it needs a display (tests/launcher/with-xvfb.sh).
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr const wchar_t* kTitle = L"Vantrell Gratwell";
constexpr auto kPatience = std::chrono::seconds(60);
constexpr auto kPoll = std::chrono::milliseconds(100);

bool waitFor(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(kPoll);
  }
  return true;
}

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<char> rows;  // bottom-up 24-bit rows, each padded to 4 bytes
  bool operator==(const Picture&) const = default;
};

// What the screen shows inside the window's outer rectangle.
Picture capture(HWND window) {
  RECT outer{};
  ::GetWindowRect(window, &outer);
  Picture picture{outer.right - outer.left, outer.bottom - outer.top, {}};
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, picture.width, picture.height);
  HGDIOBJ previous = ::SelectObject(memory, bitmap);
  ::BitBlt(memory, 0, 0, picture.width, picture.height, screen, outer.left, outer.top, SRCCOPY);
  ::SelectObject(memory, previous);
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = picture.width;
  header.biHeight = picture.height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  const int stride = (picture.width * 3 + 3) & ~3;
  picture.rows.resize(static_cast<std::size_t>(stride) * picture.height);
  ::GetDIBits(memory, bitmap, 0, static_cast<UINT>(picture.height), picture.rows.data(),
              reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  return picture;
}

// The window is drawn once two copies a poll apart are the same.
Picture settledCapture(HWND window) {
  Picture last = capture(window);
  waitFor([&] {
    Picture now = capture(window);
    const bool settled = now == last && now.width > 0;
    last = std::move(now);
    return settled;
  });
  return last;
}

bool writeBmp(const std::filesystem::path& file, const Picture& picture) {
  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = picture.width;
  info.biHeight = picture.height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  BITMAPFILEHEADER head{};
  head.bfType = 0x4D42;  // "BM"
  head.bfOffBits = sizeof head + sizeof info;
  head.bfSize = static_cast<DWORD>(head.bfOffBits + picture.rows.size());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(&head), sizeof head);
  out.write(reinterpret_cast<const char*>(&info), sizeof info);
  out.write(picture.rows.data(), static_cast<std::streamsize>(picture.rows.size()));
  return static_cast<bool>(out);
}

HWND waitForWindow(const wchar_t* title, const wchar_t* className) {
  HWND found = nullptr;
  waitFor([&] {
    found = ::FindWindowW(className, title);
    return found && ::IsWindowVisible(found);
  });
  return found;
}

bool fail(const char* what) {
  std::fprintf(stderr, "vantrell_screenshots: %s\n", what);
  return false;
}

// Opens a dialog by its command, optionally types into an edit control,
// copies it and closes it with Cancel.
bool dialogPicture(HWND window, int command, const wchar_t* caption, int editId,
                   const wchar_t* typed, const std::filesystem::path& file) {
  ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(command, 0), 0);
  HWND dialog = waitForWindow(caption, L"#32770");
  if (!dialog) return fail("a dialog did not open");
  if (typed) ::SetDlgItemTextW(dialog, editId, typed);
  const bool written = writeBmp(file, settledCapture(dialog));
  ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(dialog, IDCANCEL)));
  waitFor([&] { return !::IsWindow(dialog); });
  return written || fail("a picture could not be written");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vantrell_screenshots FOLDER\n");
    return 2;
  }
  const std::filesystem::path out = argv[1];
  wchar_t self[MAX_PATH];
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::filesystem::path program = std::filesystem::path(self).parent_path() / "Vantrell.exe";
  const std::filesystem::path scratch =
      std::filesystem::temp_directory_path() /
      ("vantrell-screenshots-" + std::to_string(::GetCurrentProcessId()));
  std::filesystem::create_directories(scratch);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::wstring commandLine = L"\"" + program.wstring() + L"\"";
  if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        scratch.wstring().c_str(), &startup, &process)) {
    fail("Vantrell.exe did not start");
    return 1;
  }
  bool ok = false;
  if (HWND window = waitForWindow(kTitle, nullptr)) {
    // Sized to its 512 x 512 client area before it is copied.
    waitFor([&] {
      RECT client{};
      ::GetClientRect(window, &client);
      return client.right == 512 && client.bottom == 512;
    });
    ok = writeBmp(out / "launcher-windows.bmp", settledCapture(window)) &&
         dialogPicture(window, 34104, L"Input Number", 0, nullptr, out / "dialog-windows.bmp") &&
         dialogPicture(window, 34108, L"Input Text", 1006, L"0.25%",
                       out / "grid-dialog-windows.bmp");
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(105, 0), 0);
  } else {
    fail("the launcher window did not show");
  }
  if (::WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0) {
    ::TerminateProcess(process.hProcess, 1);
  }
  ::CloseHandle(process.hProcess);
  ::CloseHandle(process.hThread);
  std::error_code ignored;
  std::filesystem::remove_all(scratch, ignored);
  return ok ? 0 : 1;
}
