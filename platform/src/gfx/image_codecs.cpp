// PNG through libpng's simplified interface, JPEG through libjpeg, file
// loading and format detection. Dimensions are checked against
// kMaxImageDimension before pixels are allocated.
#include <png.h>
// jpeglib.h needs FILE and size_t declared first.
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <fstream>

#include <jpeglib.h>

#include "plat/gfx/image.h"

namespace plat {

namespace {

bool acceptableSize(uint64_t w, uint64_t h) {
  return w > 0 && h > 0 && w <= kMaxImageDimension && h <= kMaxImageDimension &&
         Surface::validDimensions(static_cast<int64_t>(w), static_cast<int64_t>(h));
}

}  // namespace

ImageFormat sniffImageFormat(std::string_view b) {
  static const char kPng[] = "\x89PNG\r\n\x1a\n";
  if (b.size() >= 8 && std::memcmp(b.data(), kPng, 8) == 0) return ImageFormat::Png;
  if (b.size() >= 3 && static_cast<unsigned char>(b[0]) == 0xFF &&
      static_cast<unsigned char>(b[1]) == 0xD8 && static_cast<unsigned char>(b[2]) == 0xFF)
    return ImageFormat::Jpeg;
  if (b.size() >= 2 && b[0] == 'B' && b[1] == 'M') return ImageFormat::Bmp;
  return ImageFormat::Unknown;
}

Status decodeImage(std::string_view bytes, Image* out) {
  switch (sniffImageFormat(bytes)) {
    case ImageFormat::Png: return decodePng(bytes, out);
    case ImageFormat::Jpeg: return decodeJpeg(bytes, out);
    case ImageFormat::Bmp: return decodeBmp(bytes, out);
    case ImageFormat::Unknown: break;
  }
  return E_DATA_INVALID;
}

Status decodePng(std::string_view bytes, Image* out) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()))
    return E_DATA_INVALID;
  if (!acceptableSize(image.width, image.height)) {
    png_image_free(&image);
    return E_DATA_INVALID;
  }
  const bool hasAlpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
  // Pixels in memory as B, G, R, A bytes: 0xAARRGGBB as a little-endian word.
  image.format = PNG_FORMAT_BGRA;
  Image decoded;
  if (failed(decoded.pixels.reset(static_cast<int32_t>(image.width),
                                  static_cast<int32_t>(image.height)))) {
    png_image_free(&image);
    return E_DATA_INVALID;
  }
  if (!png_image_finish_read(&image, nullptr, decoded.pixels.data(),
                             static_cast<png_int_32>(image.width * 4), nullptr)) {
    png_image_free(&image);
    return E_DATA_INVALID;
  }
  decoded.hasAlpha = hasAlpha;
  *out = std::move(decoded);
  return S_OK;
}

Status encodePng(const Surface& pixels, bool withAlpha, std::string* out) {
  if (pixels.empty()) return E_INVALIDARG;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(pixels.width());
  image.height = static_cast<png_uint_32>(pixels.height());
  image.format = withAlpha ? PNG_FORMAT_BGRA : PNG_FORMAT_BGR;
  const Surface* src = &pixels;
  png_alloc_size_t size = 0;
  if (!withAlpha) {
    // Opaque output (what the screen shows): the writer wants packed B, G, R.
    std::string packed(static_cast<size_t>(src->width()) * src->height() * 3, '\0');
    size_t k = 0;
    for (int32_t y = 0; y < src->height(); ++y)
      for (int32_t x = 0; x < src->width(); ++x) {
        Pixel p = src->row(y)[x];
        packed[k++] = static_cast<char>(p & 0xFF);
        packed[k++] = static_cast<char>((p >> 8) & 0xFF);
        packed[k++] = static_cast<char>((p >> 16) & 0xFF);
      }
    if (!png_image_write_get_memory_size(image, size, 0, packed.data(), 0, nullptr))
      return E_FAIL;
    std::string buffer(size, '\0');
    if (!png_image_write_to_memory(&image, buffer.data(), &size, 0, packed.data(), 0, nullptr))
      return E_FAIL;
    buffer.resize(size);
    *out = std::move(buffer);
    return S_OK;
  }
  if (!png_image_write_get_memory_size(image, size, 0, src->data(), 0, nullptr)) return E_FAIL;
  std::string buffer(size, '\0');
  if (!png_image_write_to_memory(&image, buffer.data(), &size, 0, src->data(), 0, nullptr))
    return E_FAIL;
  buffer.resize(size);
  *out = std::move(buffer);
  return S_OK;
}

Status writePngFile(const Surface& pixels, const std::filesystem::path& hostPath) {
  std::string bytes;
  Status st = encodePng(pixels, false, &bytes);
  if (failed(st)) return st;
  const std::filesystem::path temp = hostPath.string() + ".tmp";
  {
    std::ofstream f(temp, std::ios::binary | std::ios::trunc);
    if (!f) return E_PATH_NOT_FOUND;
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!f.flush()) return E_DISK_FULL;
  }
  std::error_code ec;
  std::filesystem::rename(temp, hostPath, ec);
  if (ec) {
    std::filesystem::remove(temp, ec);
    return E_ACCESS_DENIED;
  }
  return S_OK;
}

namespace {

struct JpegError {
  jpeg_error_mgr manager;
  jmp_buf jump;
};

[[noreturn]] void jpegErrorExit(j_common_ptr info) {
  longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

void jpegSilence(j_common_ptr, int) {}

// Kept free of objects with destructors between setjmp and the decode, so a
// longjmp out of libjpeg skips nothing that needs cleaning up.
bool decodeJpegInto(const std::string_view bytes, Surface* pixels) {
  jpeg_decompress_struct info;
  JpegError error;
  info.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = jpegErrorExit;
  error.manager.emit_message = jpegSilence;
  if (setjmp(error.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  info.mem->max_memory_to_use = 256L << 20;
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()),
               static_cast<unsigned long>(bytes.size()));
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK ||
      !acceptableSize(info.image_width, info.image_height)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  info.out_color_space = JCS_EXT_BGRA;
  jpeg_start_decompress(&info);
  if (info.output_width != info.image_width || info.output_height != info.image_height ||
      info.output_components != 4 ||
      failed(pixels->reset(static_cast<int32_t>(info.output_width),
                           static_cast<int32_t>(info.output_height)))) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  while (info.output_scanline < info.output_height) {
    JSAMPROW row =
        reinterpret_cast<JSAMPROW>(pixels->row(static_cast<int32_t>(info.output_scanline)));
    if (jpeg_read_scanlines(&info, &row, 1) != 1) {
      jpeg_destroy_decompress(&info);
      return false;
    }
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

bool encodeJpegInto(const Surface& pixels, int quality, unsigned char** buffer,
                    unsigned long* size) {
  jpeg_compress_struct info;
  JpegError error;
  info.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = jpegErrorExit;
  error.manager.emit_message = jpegSilence;
  if (setjmp(error.jump)) {
    jpeg_destroy_compress(&info);
    return false;
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, buffer, size);
  info.image_width = static_cast<JDIMENSION>(pixels.width());
  info.image_height = static_cast<JDIMENSION>(pixels.height());
  info.input_components = 4;
  info.in_color_space = JCS_EXT_BGRX;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(
        reinterpret_cast<const JSAMPLE*>(pixels.row(static_cast<int32_t>(info.next_scanline))));
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return true;
}

}  // namespace

Status decodeJpeg(std::string_view bytes, Image* out) {
  Image decoded;
  if (!decodeJpegInto(bytes, &decoded.pixels)) return E_DATA_INVALID;
  Pixel* p = decoded.pixels.data();
  for (size_t i = 0, n = static_cast<size_t>(decoded.width()) * decoded.height(); i < n; ++i)
    p[i] |= 0xFF000000u;
  decoded.hasAlpha = false;
  *out = std::move(decoded);
  return S_OK;
}

Status encodeJpeg(const Surface& pixels, int quality, std::string* out) {
  if (pixels.empty()) return E_INVALIDARG;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  const bool ok = encodeJpegInto(pixels, std::clamp(quality, 1, 100), &buffer, &size);
  if (ok && buffer) out->assign(reinterpret_cast<const char*>(buffer), size);
  std::free(buffer);
  return ok ? S_OK : E_FAIL;
}

Status loadImageFile(const std::filesystem::path& hostPath, Image* out) {
  std::ifstream in(hostPath, std::ios::binary);
  if (!in) return E_FILE_NOT_FOUND;
  std::error_code ec;
  const uintmax_t size = std::filesystem::file_size(hostPath, ec);
  if (ec) return E_FILE_NOT_FOUND;
  if (size > kMaxImageFileBytes) return E_DATA_INVALID;
  std::string bytes(static_cast<size_t>(size), '\0');
  if (!in.read(bytes.data(), static_cast<std::streamsize>(size))) return E_DATA_INVALID;
  return decodeImage(bytes, out);
}

}  // namespace plat
