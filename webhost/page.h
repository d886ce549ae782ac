// What the host asks of the page it runs in (webhost/page/quillon.html):
// each call is one of the page's own functions. The program runs on the
// page's thread, so these are plain calls; the two that wait give the
// browser its turn meanwhile and come back when the page says so.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace page {

// The page is cross-origin isolated: WebAssembly threads can start.
bool Isolated();
// Lets the browser run its events (keys, drawing, timers): until its next
// animation frame with `untilFrame`, else only until its queued events ran.
void Yield(bool untilFrame);
// Sleeps `ms` milliseconds, the browser running meanwhile.
void Sleep(int ms);
// The modal box: OK only, captioned "Quillon"; returns once it is closed.
void MessageBox(const std::string& text);
// The box is open: its keys (Tab, Escape, Space) are its own.
bool BoxOpen();

// Shows `rgba` (width * height pixels, bytes R, G, B, A) on the canvas.
void ShowFrame(const std::uint32_t* rgba, int width, int height);
// The overlay over the frame just shown: a filled rectangle, a text (its
// top left corner at x, y) and the size a text is drawn in.
void Fill(int x, int y, int width, int height, std::uint32_t rgb);
void Text(int x, int y, const std::string& text, std::uint32_t rgb);
void MeasureText(const std::string& text, int& width, int& height);

// The page asks for its stage to fill the screen (at the user's next click
// or key: browsers allow it only then), or leaves full screen.
void WantFullScreen(bool on);
void ShowCursor(bool visible);
void ScaleSmoothly(bool linear);
// Presses of the page's screenshot key and button since the last call.
int TakeScreenshotRequests();

// Saves `size` bytes as a download named `name`.
void Download(const std::string& name, const void* bytes, std::size_t size);
// Where the program's log is, for the page to show it and save it.
void SetLogPath(const std::string& path);

// Milliseconds since the page started, and seconds since local midnight.
double Now();
double SecondsSinceMidnight();

}  // namespace page
