// Photos of the HEIF family (an iPhone's HEIC, AVIF) through libheif, in the
// helper program with the other codecs: decoded upright (the file's own turn
// and mirror applied) and fitted into a box for the picture conversion.
#include <libheif/heif.h>

#include <algorithm>
#include <memory>

#include "movie/av_tools.h"
#include "movie/codec_work.h"

namespace fenmora::movie::codec {

namespace {

struct ContextFree { void operator()(heif_context* c) const { heif_context_free(c); } };
struct HandleFree { void operator()(heif_image_handle* h) const { heif_image_handle_release(h); } };
struct ImageFree { void operator()(heif_image* i) const { heif_image_release(i); } };

}  // namespace

PreviewPicture HeifPicture(const std::filesystem::path& file, int boxWidth, int boxHeight) {
  PreviewPicture picture;
  std::unique_ptr<heif_context, ContextFree> context(heif_context_alloc());
  if (!context) return picture;
  heif_context_set_maximum_image_size_limit(context.get(), kMaxSide);
  if (heif_context_read_from_file(context.get(), file.c_str(), nullptr).code != heif_error_Ok) return picture;
  heif_image_handle* rawHandle = nullptr;
  if (heif_context_get_primary_image_handle(context.get(), &rawHandle).code != heif_error_Ok) return picture;
  std::unique_ptr<heif_image_handle, HandleFree> handle(rawHandle);
  const int w = heif_image_handle_get_width(handle.get()), h = heif_image_handle_get_height(handle.get());
  // A frame size no decoder is asked to allocate, as for movies.
  if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide || static_cast<std::int64_t>(w) * h > kMaxPixels)
    return picture;
  heif_image* rawImage = nullptr;
  if (heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB, heif_chroma_interleaved_RGB, nullptr).code !=
      heif_error_Ok)
    return picture;
  std::unique_ptr<heif_image, ImageFree> image(rawImage);
  int stride = 0;
  const std::uint8_t* rgb = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
  const int iw = heif_image_get_width(image.get(), heif_channel_interleaved);
  const int ih = heif_image_get_height(image.get(), heif_channel_interleaved);
  if (!rgb || iw <= 0 || ih <= 0) return picture;

  // The decoded planes seen as a frame, to be scaled as a movie's are.
  FramePtr source(av_frame_alloc());
  if (!source) return picture;
  source->data[0] = const_cast<std::uint8_t*>(rgb);
  source->linesize[0] = stride;
  source->width = iw;
  source->height = ih;
  source->format = AV_PIX_FMT_RGB24;
  const Size size = FitInside(iw, ih, {1, 1}, 0, boxWidth, boxHeight, /*enlarge=*/false, /*even=*/false);
  SwsContext* scaler = nullptr;
  FramePtr fitted = ScaleUpright(scaler, source.get(), 0, size, AV_PIX_FMT_RGB24);
  sws_freeContext(scaler);
  source->data[0] = nullptr;  // libheif's, not the frame's
  if (!fitted) return picture;
  picture.width = fitted->width;
  picture.height = fitted->height;
  picture.frameWidth = iw;
  picture.frameHeight = ih;
  picture.rgb.resize(static_cast<std::size_t>(picture.width) * picture.height * 3);
  for (int y = 0; y < picture.height; ++y)
    std::copy_n(fitted->data[0] + static_cast<std::ptrdiff_t>(y) * fitted->linesize[0], picture.width * 3,
                picture.rgb.begin() + static_cast<std::ptrdiff_t>(y) * picture.width * 3);
  return picture;
}

}  // namespace fenmora::movie::codec
