#include "refdevice/image_io.h"

#ifdef QUILLON_NO_LIBPNG
// The browser build has no libpng: stb's PNG codec, compiled here only.
#define STBI_ONLY_PNG
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>
#else
#include <png.h>
#endif
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

#include "formats/pixel_format.h"

namespace {

std::uint32_t Rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  return (r << 16) | (g << 8) | b;
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::string ErrnoText(const std::string& path) { return path + ": " + std::strerror(errno); }

bool ValidSize(const Image& image) {
  return image.width > 0 && image.height > 0 &&
         image.pixels.size() ==
             static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height);
}

bool EndsWith(const std::string& s, const char* suffix) {
  const std::size_t n = std::strlen(suffix);
  if (s.size() < n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    char c = s[s.size() - n + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != suffix[i]) return false;
  }
  return true;
}

#ifndef QUILLON_NO_LIBPNG
// libpng reports errors by longjmp; these keep the message for the caller.
struct PngErrorState {
  std::string message;
};

void PngError(png_structp png, png_const_charp message) {
  auto* state = static_cast<PngErrorState*>(png_get_error_ptr(png));
  if (state) state->message = message;
  png_longjmp(png, 1);
}

void PngWarning(png_structp, png_const_charp) {}
#endif

}  // namespace

Image ImageFromFrame(const FrameView& frame) {
  Image image;
  if (frame.pixels == nullptr || frame.width <= 0 || frame.height <= 0) return image;
  image.width = frame.width;
  image.height = frame.height;
  image.pixels.resize(static_cast<std::size_t>(frame.width) *
                      static_cast<std::size_t>(frame.height));
  const auto* base = static_cast<const std::uint8_t*>(frame.pixels);
  for (std::int32_t y = 0; y < frame.height; ++y) {
    if (!ConvertRowToXrgb(frame.format, base + static_cast<std::ptrdiff_t>(y) * frame.pitch,
                          image.pixels.data() + static_cast<std::size_t>(y) * frame.width,
                          frame.width))
      return Image{};
  }
  return image;
}

bool WriteImage(const std::string& path, const Image& image, std::string* error) {
  if (EndsWith(path, ".png")) return WritePng(path, image, error);
  if (EndsWith(path, ".ppm")) return WritePpm(path, image, error);
  if (error) *error = path + ": unknown image type (use .png or .ppm)";
  return false;
}

namespace {

// An image file written beside its destination under a temporary name and
// renamed over it only once every byte is on disk: a failed write (a full
// disk) leaves the old file as it was, and no half-written picture appears
// under the real name.
class ImageFileWriter {
 public:
  ImageFileWriter(const std::string& path, std::string* error) : path_(path), error_(error) {}
  ~ImageFileWriter() { Abandon(); }
  ImageFileWriter(const ImageFileWriter&) = delete;
  ImageFileWriter& operator=(const ImageFileWriter&) = delete;

  // Creates the temporary file; false (with the error said) when it cannot be.
  bool Open(const Image& image) {
    if (!ValidSize(image)) return Fail("empty image");
    const std::size_t slash = path_.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "" : path_.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path_ : path_.substr(slash + 1);
    temp_ = dir + "." + name + ".XXXXXX";
    const int fd = ::mkstemp(temp_.data());
    if (fd < 0) {
      temp_.clear();
      return FailErrno(errno);
    }
    // mkstemp makes the file private; a picture gets the usual permissions.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    file_ = ::fdopen(fd, "wb");
    if (file_ == nullptr) {
      const int e = errno;
      ::close(fd);
      return FailErrno(e);
    }
    return true;
  }

  // Writes `size` bytes; false, keeping the system's reason, when it cannot.
  bool Write(const void* data, std::size_t size) {
    errno = 0;
    if (std::fwrite(data, 1, size, file_) == size) return true;
    writeErrno_ = errno != 0 ? errno : EIO;
    return false;
  }
  int WriteErrno() const { return writeErrno_; }

  // Flushes, syncs and renames over the destination.
  bool Commit() {
    errno = 0;
    if (std::fflush(file_) != 0 || ::fsync(::fileno(file_)) != 0) {
      const int e = errno;
      return FailErrno(e);
    }
    std::FILE* f = file_;
    file_ = nullptr;
    if (std::fclose(f) != 0) return FailErrno(errno);
    if (::rename(temp_.c_str(), path_.c_str()) != 0) return FailErrno(errno);
    temp_.clear();
    return true;
  }

  bool Fail(const std::string& why) {
    if (error_ && !failed_) *error_ = path_ + ": " + why;
    failed_ = true;
    Abandon();
    return false;
  }
  bool FailErrno(int e) { return Fail(std::strerror(e != 0 ? e : EIO)); }

 private:
  void Abandon() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
  }

  std::string path_;
  std::string* error_;
  std::string temp_;
  std::FILE* file_ = nullptr;
  int writeErrno_ = 0;
  bool failed_ = false;
};

// One row of the image as 8-bit R, G, B triples, the order both file types
// store.
void PackRgbRow(const Image& image, std::int32_t y, std::uint8_t* row) {
  for (std::int32_t x = 0; x < image.width; ++x) {
    const std::uint32_t p = image.At(x, y);
    row[3 * x] = static_cast<std::uint8_t>(p >> 16);
    row[3 * x + 1] = static_cast<std::uint8_t>(p >> 8);
    row[3 * x + 2] = static_cast<std::uint8_t>(p);
  }
}

}  // namespace

bool WritePpm(const std::string& path, const Image& image, std::string* error) {
  ImageFileWriter out(path, error);
  if (!out.Open(image)) return false;
  const std::string header =
      "P6\n" + std::to_string(image.width) + " " + std::to_string(image.height) + "\n255\n";
  if (!out.Write(header.data(), header.size())) return out.FailErrno(out.WriteErrno());
  std::vector<std::uint8_t> row(static_cast<std::size_t>(image.width) * 3);
  for (std::int32_t y = 0; y < image.height; ++y) {
    PackRgbRow(image, y, row.data());
    if (!out.Write(row.data(), row.size())) return out.FailErrno(out.WriteErrno());
  }
  return out.Commit();
}

#ifndef QUILLON_NO_LIBPNG
namespace {

// libpng writes through the writer, so a failed write keeps its reason
// rather than libpng's bare "Write Error".
void PngWriteData(png_structp png, png_bytep data, png_size_t size) {
  auto* out = static_cast<ImageFileWriter*>(png_get_io_ptr(png));
  if (!out->Write(data, size)) png_error(png, "write failed");
}

// Commit flushes and syncs once the whole file is written.
void PngFlush(png_structp) {}

bool PngWriteAll(png_structp png, png_infop info, ImageFileWriter* out, const Image& image,
                 std::uint8_t* row) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, out, PngWriteData, PngFlush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width),
               static_cast<png_uint_32>(image.height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (std::int32_t y = 0; y < image.height; ++y) {
    PackRgbRow(image, y, row);
    png_write_row(png, row);
  }
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

bool WritePng(const std::string& path, const Image& image, std::string* error) {
  ImageFileWriter out(path, error);
  if (!out.Open(image)) return false;
  PngErrorState state;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, PngError, PngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  std::vector<std::uint8_t> row(static_cast<std::size_t>(image.width) * 3);
  const bool ok = png && info && PngWriteAll(png, info, &out, image, row.data());
  if (png) png_destroy_write_struct(&png, info ? &info : nullptr);
  if (!ok) {
    if (out.WriteErrno() != 0) return out.FailErrno(out.WriteErrno());
    return out.Fail(state.message.empty() ? "PNG write failed" : state.message);
  }
  return out.Commit();
}

namespace {

// The libpng calls of ReadPng, kept apart so that nothing with a destructor
// lives in the frame that setjmp returns to twice.
struct PngReader {
  png_structp png = nullptr;
  png_infop info = nullptr;
  PngErrorState state;
};

bool PngReadHeader(PngReader& r, std::FILE* f, png_uint_32& width, png_uint_32& height) {
  if (setjmp(png_jmpbuf(r.png))) return false;
  png_init_io(r.png, f);
  png_set_sig_bytes(r.png, 8);
  png_read_info(r.png, r.info);
  width = png_get_image_width(r.png, r.info);
  height = png_get_image_height(r.png, r.info);
  const int colorType = png_get_color_type(r.png, r.info);
  const int bitDepth = png_get_bit_depth(r.png, r.info);
  // Every PNG flavour becomes 8-bit RGB; frames have no alpha.
  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(r.png);
  if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(r.png);
  if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
    png_set_gray_to_rgb(r.png);
  if (bitDepth == 16) png_set_strip_16(r.png);
  if (colorType & PNG_COLOR_MASK_ALPHA) png_set_strip_alpha(r.png);
  if (png_set_interlace_handling(r.png) != 1) {
    r.state.message = "interlaced PNG not supported";
    return false;
  }
  png_read_update_info(r.png, r.info);
  if (png_get_rowbytes(r.png, r.info) != static_cast<std::size_t>(width) * 3) {
    r.state.message = "unsupported PNG layout";
    return false;
  }
  return true;
}

bool PngReadRows(PngReader& r, png_uint_32 width, png_uint_32 height, std::uint8_t* row,
                 std::uint32_t* out) {
  if (setjmp(png_jmpbuf(r.png))) return false;
  for (png_uint_32 y = 0; y < height; ++y) {
    png_read_row(r.png, row, nullptr);
    for (png_uint_32 x = 0; x < width; ++x)
      out[static_cast<std::size_t>(y) * width + x] =
          Rgb(row[3 * x], row[3 * x + 1], row[3 * x + 2]);
  }
  png_read_end(r.png, nullptr);
  return true;
}

}  // namespace

bool ReadPng(const std::string& path, Image& image, std::string* error) {
  File f(std::fopen(path.c_str(), "rb"));
  if (!f) {
    if (error) *error = ErrnoText(path);
    return false;
  }
  png_byte signature[8];
  if (std::fread(signature, 1, 8, f.get()) != 8 || png_sig_cmp(signature, 0, 8) != 0) {
    if (error) *error = path + ": not a PNG file";
    return false;
  }
  PngReader r;
  r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &r.state, PngError, PngWarning);
  if (r.png) r.info = png_create_info_struct(r.png);
  bool ok = r.png && r.info;
  png_uint_32 width = 0, height = 0;
  if (ok) ok = PngReadHeader(r, f.get(), width, height);
  if (ok && (width == 0 || height == 0 || width > 65536 || height > 65536)) {
    r.state.message = "image size out of range";
    ok = false;
  }
  Image result;
  if (ok) {
    result.width = static_cast<std::int32_t>(width);
    result.height = static_cast<std::int32_t>(height);
    result.pixels.resize(static_cast<std::size_t>(width) * height);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 3);
    ok = PngReadRows(r, width, height, row.data(), result.pixels.data());
  }
  if (r.png) png_destroy_read_struct(&r.png, r.info ? &r.info : nullptr, nullptr);
  if (!ok) {
    if (error)
      *error = path + ": " + (r.state.message.empty() ? "PNG read failed" : r.state.message);
    return false;
  }
  image = std::move(result);
  return true;
}
#else
bool WritePng(const std::string& path, const Image& image, std::string* error) {
  ImageFileWriter out(path, error);
  if (!out.Open(image)) return false;
  const std::size_t rowBytes = static_cast<std::size_t>(image.width) * 3;
  std::vector<std::uint8_t> rgb(rowBytes * static_cast<std::size_t>(image.height));
  for (std::int32_t y = 0; y < image.height; ++y)
    PackRgbRow(image, y, rgb.data() + rowBytes * static_cast<std::size_t>(y));
  const auto write = [](void* context, void* data, int size) {
    static_cast<ImageFileWriter*>(context)->Write(data, static_cast<std::size_t>(size));
  };
  const int ok = stbi_write_png_to_func(write, &out, image.width, image.height, 3, rgb.data(),
                                        static_cast<int>(rowBytes));
  if (out.WriteErrno() != 0) return out.FailErrno(out.WriteErrno());
  if (!ok) return out.Fail("PNG write failed");
  return out.Commit();
}

bool ReadPng(const std::string& path, Image& image, std::string* error) {
  File f(std::fopen(path.c_str(), "rb"));
  if (!f) {
    if (error) *error = ErrnoText(path);
    return false;
  }
  std::vector<std::uint8_t> bytes;
  std::uint8_t buf[65536];
  while (const std::size_t n = std::fread(buf, 1, sizeof buf, f.get()))
    bytes.insert(bytes.end(), buf, buf + n);
  static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (bytes.size() < 8 || !std::equal(kSignature, kSignature + 8, bytes.begin())) {
    if (error) *error = path + ": not a PNG file";
    return false;
  }
  int width = 0, height = 0, channels = 0;
  std::uint8_t* rgb = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width,
                                            &height, &channels, 3);
  if (!rgb || width > 65536 || height > 65536) {
    if (error) *error = path + ": " + (rgb ? "image size out of range" : stbi_failure_reason());
    stbi_image_free(rgb);
    return false;
  }
  Image result{width, height, std::vector<std::uint32_t>(static_cast<std::size_t>(width) * height)};
  for (std::size_t i = 0; i < result.pixels.size(); ++i)
    result.pixels[i] = Rgb(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]);
  stbi_image_free(rgb);
  image = std::move(result);
  return true;
}
#endif

std::int64_t CompareImages(const Image& a, const Image& b) {
  // Different sizes compare over the larger area; pixels that only one image
  // has count as different.
  const std::int32_t w = a.width > b.width ? a.width : b.width;
  const std::int32_t h = a.height > b.height ? a.height : b.height;
  std::int64_t count = 0;
  for (std::int32_t y = 0; y < h; ++y) {
    for (std::int32_t x = 0; x < w; ++x) {
      const bool inA = x < a.width && y < a.height;
      const bool inB = x < b.width && y < b.height;
      if (!inA || !inB || a.At(x, y) != b.At(x, y)) ++count;
    }
  }
  return count;
}
