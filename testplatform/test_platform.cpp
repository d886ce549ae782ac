#include "testplatform/test_platform.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <system_error>

#include "testplatform/recording_objects.h"

using testplatform::Answer;
using testplatform::Args;

namespace {

// Takes the next scripted answer when there is one.
template <class T>
bool Next(std::deque<T>& script, T& out) {
  if (script.empty()) return false;
  out = script.front();
  script.pop_front();
  return true;
}

}  // namespace

std::string FormatFloat(float value) {
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, r.ptr);
}

std::string FormatMatrix(const D3DMATRIX& m) {
  std::string out = "[";
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      if (c) out += ' ';
      out += FormatFloat(m.m[r][c]);
    }
    out += r < 3 ? "; " : "]";
  }
  return out;
}

std::string FormatPresentParameters(const D3DPRESENT_PARAMETERS& p) {
  const std::string fields =
      Args(p.BackBufferWidth, p.BackBufferHeight, p.BackBufferFormat, p.BackBufferCount,
           p.MultiSampleType, p.SwapEffect, p.hDeviceWindow, p.Windowed, p.EnableAutoDepthStencil,
           p.AutoDepthStencilFormat, p.Flags, p.FullScreen_RefreshRateInHz,
           p.FullScreen_PresentationInterval);
  return "{" + fields.substr(1, fields.size() - 2) + "}";
}

HRESULT TestRecord::Call(const std::string& name, const std::string& args) {
  const int occurrence = ++callCounts[name];
  HRESULT status = 0;
  for (const Failure& f : failures)
    if (f.name == name && (f.occurrence == 0 || f.occurrence == occurrence)) status = f.status;
  if (!script.keepLog) return status;
  statusCalls.push_back({name, calls.size()});
  std::string line = name + args;
  if (status != 0) line += " -> " + std::to_string(status);
  calls.push_back(std::move(line));
  return status;
}

namespace {

// A fresh folder of its own under the system's temporary one.
std::string MakeTempDriveC() {
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (std::random_device random;;) {
    const auto folder = base / ("quillon-drive-c-" + std::to_string(random()));
    if (std::filesystem::create_directory(folder)) return folder.string();
  }
}

}  // namespace

TestPlatform::TestPlatform()
    : record_(std::make_shared<TestRecord>()),
      script(record_->script),
      driveC_(MakeTempDriveC()),
      files_(std::make_unique<TextFiles>(driveC_)),
      formFont_(testplatform::NewRecordingFont(record_)) {
  Err().Clear();
  InstallPlatform({this, this, this});
}

TestPlatform::~TestPlatform() {
  Err().Clear();
  files_->CloseAll();
  std::error_code ec;
  std::filesystem::remove_all(driveC_, ec);
  if (CurrentPlatform().runtime == this) InstallPlatform({});
}

void TestPlatform::Fail(const std::string& name, HRESULT status, int occurrence) {
  record_->failures.push_back({name, status, occurrence});
}

DIKEYBOARDSTATE TestPlatform::KeysDown(std::initializer_list<int> keysDown) {
  DIKEYBOARDSTATE state{};
  for (int key : keysDown) state.at(static_cast<std::size_t>(key)) = 0x80;
  return state;
}

Ref<Direct3DDevice8> TestPlatform::NewDevice() {
  Ref<Direct3DDevice8> device;
  {  // the root and Direct3D let go before the calls are cleared
    Ref<DirectX8> dx;
    Ref<Direct3D8> d3d;
    D3DPRESENT_PARAMETERS pp{64, 48, D3DFMT_X8R8G8B8, 1, 0, D3DSWAPEFFECT_DISCARD, 0, 1, 0, 0, 0,
                             0,  0};
    if (NewDirectX8(dx) | dx->Direct3DCreate(d3d) |
        d3d->CreateDevice(0, D3DDEVTYPE_HAL, 0, 0, pp, device))
      throw std::logic_error("the recording platform made no device");
  }
  ClearCalls();
  return device;
}

int TestPlatform::Count(const std::string& name) const {
  const auto it = record_->callCounts.find(name);
  return it == record_->callCounts.end() ? 0 : it->second;
}

int TestPlatform::IndexOf(const std::string& prefix) const {
  for (std::size_t i = 0; i < record_->calls.size(); ++i)
    if (record_->calls[i].compare(0, prefix.size(), prefix) == 0) return static_cast<int>(i);
  return -1;
}

void TestPlatform::ClearCalls() {
  record_->calls.clear();
  record_->callCounts.clear();
  record_->statusCalls.clear();
}

std::shared_ptr<RecordedDevice> TestPlatform::Device() const {
  return record_->devices.empty() ? nullptr : record_->devices.back();
}

std::string TestPlatform::ReadTextFile(const std::string& relativePath) const {
  std::ifstream in(std::filesystem::path(driveC_) / relativePath, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

bool TestPlatform::TextFileExists(const std::string& relativePath) const {
  return std::filesystem::exists(std::filesystem::path(driveC_) / relativePath);
}

// --- PlatformObjects ----------------------------------------------------------

HRESULT TestPlatform::NewDirectX8(Ref<DirectX8>& dx) {
  if (record_->script.beforeNewDirectX8) record_->script.beforeNewDirectX8();
  return Answer(*record_, "new DirectX8", "",
                [&] { return dx = testplatform::NewRecordingDirectX(record_), 0; });
}

HRESULT TestPlatform::NewD3DX8(Ref<D3DX8>& d3dx) {
  return Answer(*record_, "new D3DX8", "",
                [&] { return d3dx = testplatform::NewRecordingD3DX(record_), 0; });
}

// --- WindowSystem -------------------------------------------------------------

std::int32_t TestPlatform::ShowCursor(std::int32_t bShow) {
  std::int32_t& counter = record_->script.cursorCounter;
  counter += bShow ? 1 : -1;
  record_->Note("ShowCursor", Args(bShow) + " -> " + std::to_string(counter));
  return counter;
}

std::uint32_t TestPlatform::GetTickCount() {
  if (!Next(record_->script.ticks, record_->lastTick) && record_->tickRead) record_->lastTick += 10;
  record_->tickRead = true;
  record_->Note("GetTickCount", " -> " + std::to_string(record_->lastTick));
  return record_->lastTick;
}

// --- Runtime --------------------------------------------------------------------

HRESULT TestPlatform::Form_hWnd(std::int32_t& hWnd) {
  return Answer(*record_, "Form_hWnd", "", [&] { return hWnd = record_->script.hWnd, 0; });
}

HRESULT TestPlatform::Form_Font(Ref<IFont>& font) {
  return Answer(*record_, "Form_Font", "", [&] { return font = formFont_, 0; });
}

void TestPlatform::SetFormEvents(FormEvents events) {
  record_->Note("SetFormEvents");
  record_->formEvents = std::move(events);
}

HRESULT TestPlatform::MsgBox(const std::string& text) {
  return Answer(*record_, "MsgBox", Args(text),
                [&] { return record_->messageBoxes.push_back(text), 0; });
}

void TestPlatform::CloseForm() {
  if (record_->formClosed) return;
  record_->formClosed = true;
  record_->Note("form closed");
  if (record_->formEvents.OnClose) record_->formEvents.OnClose();
}

void TestPlatform::DoEvents() {
  record_->Note("DoEvents");
  if (++record_->doEvents == record_->script.closeFormAtDoEvents) CloseForm();
}

void TestPlatform::RunUntilFormClosed() {
  record_->Note("RunUntilFormClosed");
  CloseForm();  // the user closes the form: nothing else would ever happen in a test
}

void TestPlatform::End(int exitCode) {
  record_->Note("End", Args(exitCode));
  files_->CloseAll();
  throw ProcessEnded{exitCode};
}

std::int32_t TestPlatform::FileOpenForOutput(const std::string& path, std::int32_t& fileNumber) {
  return Answer(*record_, "FileOpenForOutput", Args(path),
                [&] { return files_->OpenForOutput(path, fileNumber); });
}

std::int32_t TestPlatform::FilePrintLine(std::int32_t fileNumber, const std::string& text) {
  return Answer(*record_, "FilePrintLine", Args(fileNumber, text),
                [&] { return files_->PrintLine(fileNumber, text); });
}

std::int32_t TestPlatform::FileClose(std::int32_t fileNumber) {
  return Answer(*record_, "FileClose", Args(fileNumber), [&] { return files_->Close(fileNumber); });
}

float TestPlatform::Timer() {
  const float t = record_->script.timeOfDay;
  record_->Note("Timer", " -> " + FormatFloat(t));
  return t;
}

void TestPlatform::Randomize(double seed) {
  record_->Note("Randomize", Args(static_cast<float>(seed)));
  record_->random.Seed(seed);
}

float TestPlatform::Rnd() {
  float v = 0;
  if (!Next(record_->script.randomValues, v)) v = record_->random.Next();
  record_->Note("Rnd", " -> " + FormatFloat(v));
  return v;
}
