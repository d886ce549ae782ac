// What Present does to every frame before the host shows it: a 640x480 back
// buffer converted to 0x00RRGGBB rows (pictures/image.h). Argument: the back buffer's
// format code (23 R5G6B5, 24 X1R5G5B5, 22 X8R8G8B8).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "formats/pixel_format.h"
#include "pictures/image.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

void ConvertFrameToXrgb(benchmark::State& state) {
  const auto format = static_cast<std::int32_t>(state.range(0));
  const int pitch = kWidth * BytesPerPixel(format);
  std::vector<std::uint8_t> frame(static_cast<std::size_t>(pitch) * kHeight);
  for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<std::uint8_t>(i * 37 >> 3);
  std::vector<std::uint32_t> rows(static_cast<std::size_t>(kWidth) * kHeight);
  const FrameView view{frame.data(), kWidth, kHeight, pitch, static_cast<D3DFORMAT>(format)};
  for (auto _ : state) {
    FrameToXrgb(view, rows.data(), kWidth * 4);
    benchmark::DoNotOptimize(rows.data());
    benchmark::ClobberMemory();
  }
  state.counters["frames/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(ConvertFrameToXrgb)->Arg(D3DFMT_R5G6B5)->Arg(D3DFMT_X1R5G5B5)->Arg(D3DFMT_X8R8G8B8);

BENCHMARK_MAIN();
