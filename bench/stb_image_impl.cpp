// The one translation unit that holds stb_image's implementation, built as the
// library ships it.
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>
