#include "webhost/page.h"

#include <emscripten.h>

// Each call hands its numbers and the address of its text to QuillonPage,
// the page's object (webhost/page/quillon.html). The bodies are JavaScript,
// kept free of what the formatter would take for C++ operators (=>).

EM_JS(int, quillon_page_isolated, (), { return self.crossOriginIsolated ? 1 : 0; });
EM_ASYNC_JS(void, quillon_page_yield, (int untilFrame),
            { await QuillonPage.yieldTurn(untilFrame != 0); });
EM_ASYNC_JS(void, quillon_page_sleep, (int ms), { await QuillonPage.sleep(ms); });
EM_ASYNC_JS(void, quillon_page_message_box, (const char* text),
            { await QuillonPage.messageBox(UTF8ToString(text)); });
EM_JS(int, quillon_page_box_open, (), { return document.getElementById("box").open ? 1 : 0; });
EM_JS(void, quillon_page_show_frame, (const void* rgba, int width, int height),
      { QuillonPage.showFrame(HEAPU8, rgba, width, height); });
EM_JS(void, quillon_page_fill, (int x, int y, int width, int height, unsigned rgb),
      { QuillonPage.fill(x, y, width, height, rgb); });
EM_JS(void, quillon_page_text, (int x, int y, const char* text, unsigned rgb),
      { QuillonPage.text(x, y, UTF8ToString(text), rgb); });
EM_JS(int, quillon_page_text_width, (const char* text),
      { return QuillonPage.measure(UTF8ToString(text)).width; });
EM_JS(int, quillon_page_text_height, (), { return QuillonPage.measure("").height; });
EM_JS(void, quillon_page_want_full_screen, (int on), { QuillonPage.wantFullScreen(on != 0); });
EM_JS(void, quillon_page_show_cursor, (int visible), { QuillonPage.showCursor(visible != 0); });
EM_JS(void, quillon_page_scale_smoothly, (int linear), { QuillonPage.scaleSmoothly(linear != 0); });
EM_JS(int, quillon_page_take_screenshot_requests, (),
      { return QuillonPage.takeScreenshotRequests(); });
EM_JS(void, quillon_page_download, (const char* name, const void* bytes, size_t size), {
  // A copy: the heap may be shared memory, which a Blob does not take.
  QuillonPage.download(UTF8ToString(name), HEAPU8.slice(bytes, bytes + size));
});
EM_JS(void, quillon_page_set_log_path, (const char* path),
      { QuillonPage.setLogPath(UTF8ToString(path)); });
EM_JS(double, quillon_page_seconds_since_midnight, (), {
  const now = new Date();
  return now.getHours() * 3600 + now.getMinutes() * 60 + now.getSeconds() +
         now.getMilliseconds() / 1000;
});

namespace page {

bool Isolated() { return quillon_page_isolated() != 0; }
void Yield(bool untilFrame) { quillon_page_yield(untilFrame); }
void Sleep(int ms) { quillon_page_sleep(ms); }
void MessageBox(const std::string& text) { quillon_page_message_box(text.c_str()); }
bool BoxOpen() { return quillon_page_box_open() != 0; }
void ShowFrame(const std::uint32_t* rgba, int width, int height) {
  quillon_page_show_frame(rgba, width, height);
}
void Fill(int x, int y, int width, int height, std::uint32_t rgb) {
  quillon_page_fill(x, y, width, height, rgb);
}
void Text(int x, int y, const std::string& text, std::uint32_t rgb) {
  quillon_page_text(x, y, text.c_str(), rgb);
}
void MeasureText(const std::string& text, int& width, int& height) {
  width = quillon_page_text_width(text.c_str());
  height = quillon_page_text_height();
}
void WantFullScreen(bool on) { quillon_page_want_full_screen(on); }
void ShowCursor(bool visible) { quillon_page_show_cursor(visible); }
void ScaleSmoothly(bool linear) { quillon_page_scale_smoothly(linear); }
int TakeScreenshotRequests() { return quillon_page_take_screenshot_requests(); }
void Download(const std::string& name, const void* bytes, std::size_t size) {
  quillon_page_download(name.c_str(), bytes, size);
}
void SetLogPath(const std::string& path) { quillon_page_set_log_path(path.c_str()); }
double Now() { return emscripten_get_now(); }
double SecondsSinceMidnight() { return quillon_page_seconds_since_midnight(); }

}  // namespace page
