#include "view/PngFile.h"

#include "output/OutputFile.h"

#include <png.h>

#include <vector>

namespace spheres {

namespace {

void writeData(png_structp png, png_bytep data, png_size_t size) {
    static_cast<OutputFile*>(png_get_io_ptr(png))->write(reinterpret_cast<const char*>(data), size);
}

void flushData(png_structp) {}

// libpng reports errors by longjmp; it is only ever called from this function's own frame,
// which holds no C++ objects that need destroying between setjmp and the call.
bool writeRows(OutputFile& file, png_bytepp rows, int width, int height) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) {
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &file, writeData, flushData);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_rows(png, info, rows);
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

std::string writePng(OutputFile& file, const unsigned char* rows, int width, int height) {
    // PNG stores the top row first.
    std::vector<png_bytep> order(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        order[static_cast<std::size_t>(y)] = const_cast<png_bytep>(
            rows + static_cast<std::size_t>(height - 1 - y) * static_cast<std::size_t>(width) * 3);
    }
    if (!writeRows(file, order.data(), width, height)) {
        return "encoding the picture failed";
    }
    return file.failed() ? file.error() : std::string();
}

} // namespace spheres
