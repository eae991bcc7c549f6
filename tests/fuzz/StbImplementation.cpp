// The image decoders and the PNG writer, compiled with the fuzz targets'
// instrumentation instead of taken from the prebuilt library.
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image.h>
#include <stb_image_write.h>
