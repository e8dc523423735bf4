// A window's pixels: buffers in shared memory that a paint draws into and the
// compositor reads, and presenting them on the window's surface.
//
// The compositor reads a committed buffer whenever it draws and says when it
// is done with it (wl_buffer.release), so a window has two: a paint draws into
// the one given back. The second is made only when a paint finds the first
// still read. Their events come on a queue of their own, so that waiting for
// one runs no other handler and calls nothing back.
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "../window_events.h"
#include "wayland_system.h"

namespace wayland {
namespace {

// How long a paint waits for the compositor to give a buffer back. One that
// keeps both this long has stopped reading them.
constexpr std::int64_t kReleaseWaitMs = 5000;

void OnRelease(void* data, wl_buffer*) { static_cast<Buffer*>(data)->busy = false; }
const wl_buffer_listener kBufferListener = {OnRelease};

void Release(Buffer& buffer) {
  if (buffer.proxy != nullptr) wl_buffer_destroy(buffer.proxy);
  if (buffer.bits != nullptr) munmap(buffer.bits, buffer.bytes);
  buffer = Buffer{};
}

bool Fail(const std::string& reason) {
  CannotShowWindow(reason);
  return false;
}

bool FailWithError(int error) { return Fail(std::string("cannot make a buffer: ") + std::strerror(error)); }

// XRGB8888, which every compositor offers: the word 0x00RRGGBB, rows packed.
bool Make(Buffer& buffer, wl_shm* shm, int width, int height, int scale) {
  const std::size_t stride = static_cast<std::size_t>(width) * 4;
  const std::size_t bytes = stride * static_cast<std::size_t>(height);
  if (bytes > static_cast<std::size_t>(INT32_MAX)) return Fail("the window is too large for a buffer");
  const int fd = memfd_create("rastelle-window", MFD_CLOEXEC);
  if (fd < 0) return FailWithError(errno);
  // Under a file size limit (ulimit -f) this raises SIGXFSZ, which ends the
  // process unless it is ignored: then the error is reported.
  void* bits = ftruncate(fd, static_cast<off_t>(bytes)) == 0
                   ? mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0)
                   : MAP_FAILED;
  if (bits == MAP_FAILED) {
    const int error = errno;
    close(fd);
    return FailWithError(error);
  }
  wl_shm_pool* pool = wl_shm_create_pool(shm, fd, static_cast<std::int32_t>(bytes));
  buffer.proxy = wl_shm_pool_create_buffer(pool, 0, width, height, static_cast<std::int32_t>(stride),
                                           WL_SHM_FORMAT_XRGB8888);
  wl_shm_pool_destroy(pool);  // the buffer keeps what it needs of the pool
  close(fd);                  // and the compositor has a descriptor of its own
  buffer.bits = static_cast<std::uint8_t*>(bits);
  buffer.bytes = bytes;
  buffer.width = width;
  buffer.height = height;
  buffer.scale = scale;
  buffer.busy = false;
  wl_buffer_add_listener(buffer.proxy, &kBufferListener, &buffer);
  return true;
}

Buffer* FreeOfSize(Window& window, int width, int height, int scale) {
  for (Buffer& buffer : window.buffers) {
    if (!buffer.busy && buffer.proxy != nullptr && buffer.width == width && buffer.height == height &&
        buffer.scale == scale)
      return &buffer;
  }
  return nullptr;
}

// A place for a new buffer: an empty one first, else one of another size
// that the compositor is not reading.
Buffer* FreePlace(Window& window) {
  Buffer* place = nullptr;
  for (Buffer& buffer : window.buffers) {
    if (!buffer.busy && (place == nullptr || place->proxy != nullptr)) place = &buffer;
  }
  return place;
}

}  // namespace

WindowPixels System::PixelsToPaint(HWND handle) {
  Window* window = Find(handle);
  if (window == nullptr || failed) return {};
  const int scale = window->scale;
  const int width = window->width * scale;
  const int height = window->height * scale;
  Buffer* buffer = FreeOfSize(*window, width, height, scale);
  // A release may wait unread: reading it costs less than a new buffer.
  if (buffer == nullptr) {
    if (!Exchange(bufferQueue, 0)) return {};
    buffer = FreeOfSize(*window, width, height, scale);
  }
  const std::int64_t deadline = NowMs() + kReleaseWaitMs;
  while (buffer == nullptr) {
    if (Buffer* place = FreePlace(*window); place != nullptr) {
      Release(*place);
      if (!Make(*place, bufferShm, width, height, scale)) return {};
      buffer = place;
      break;
    }
    const std::int64_t left = deadline - NowMs();
    if (left <= 0) {
      Fail("the compositor gives no buffer back");
      return {};
    }
    if (!Exchange(bufferQueue, static_cast<int>(left))) return {};
    buffer = FreeOfSize(*window, width, height, scale);
  }
  window->painted = buffer;
  return {buffer->bits, buffer->width, buffer->height, static_cast<std::size_t>(buffer->width) * 4};
}

void System::Present(HWND handle) {
  Window* window = Find(handle);
  // Before the first configure the surface may have no buffer.
  if (window == nullptr || window->painted == nullptr || !window->configured || failed) return;
  Buffer& buffer = *window->painted;
  if (buffer.scale != window->committedScale) {
    wl_surface_set_buffer_scale(window->surface, buffer.scale);
    window->committedScale = buffer.scale;
  }
  wl_surface_attach(window->surface, buffer.proxy, 0, 0);
  if (wl_proxy_get_version(reinterpret_cast<wl_proxy*>(window->surface)) >=
      WL_SURFACE_DAMAGE_BUFFER_SINCE_VERSION) {
    wl_surface_damage_buffer(window->surface, 0, 0, buffer.width, buffer.height);
  } else {
    wl_surface_damage(window->surface, 0, 0, INT32_MAX, INT32_MAX);
  }
  wl_surface_commit(window->surface);
  buffer.busy = true;
  window->presented = true;
  Flush();
}

void System::ReleaseBuffers(Window& window) {
  for (Buffer& buffer : window.buffers) Release(buffer);
  window.painted = nullptr;
}

}  // namespace wayland
