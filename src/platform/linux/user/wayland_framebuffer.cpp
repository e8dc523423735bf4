// Presentation on a Wayland compositor: the client raster is copied into a
// buffer in shared memory (a memfd the compositor maps, offered through
// wl_shm) and committed to the window's surface.
//
// Why not the toolkit's window surface: SDL 2.26 has none on Wayland without
// a software renderer behind it, which doubles the viewer's memory and starts
// threads of its own.
//
// The compositor reads a committed buffer whenever it draws and says when it
// is done with it (wl_buffer.release), so there are two: each present writes
// the one the compositor has given back. The events that concern the buffers
// arrive on a queue of our own, so that reading them never runs SDL's
// handlers out of turn; SDL's events wait in its queue for its own pump.
#include "wayland_framebuffer.h"

#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstring>

#include "../gdi/raster_pixels.h"
#include "window_record.h"

namespace {

// How long a present waits for the compositor to give a buffer back. One that
// keeps both for this long has stopped reading them.
constexpr std::chrono::milliseconds kReleaseWait{5000};

constexpr std::uint32_t kWhite = 0x00FFFFFF;

struct Buffer {
  wl_buffer* buffer = nullptr;
  std::uint32_t* pixels = nullptr;
  std::size_t bytes = 0;
  int width = 0;
  int height = 0;
  bool busy = false;  // committed, and not yet given back by the compositor
};

struct Connection {
  wl_display* display = nullptr;
  wl_event_queue* queue = nullptr;
  wl_registry* registry = nullptr;
  wl_shm* shm = nullptr;
};

Connection& connection = *new Connection;
// The buffers of the one window presented; a window's buffers go with it.
HWND owner = nullptr;
std::array<Buffer, 2>& buffers = *new std::array<Buffer, 2>;
std::string& failure = *new std::string;

bool Fail(std::string reason) {
  failure = std::move(reason);
  return false;
}

void OnRelease(void* data, wl_buffer*) { static_cast<Buffer*>(data)->busy = false; }
const wl_buffer_listener kBufferListener = {OnRelease};

void OnGlobal(void*, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t) {
  if (connection.shm != nullptr || std::strcmp(interface, wl_shm_interface.name) != 0) return;
  connection.shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
}
void OnGlobalRemove(void*, wl_registry*, std::uint32_t) {}
const wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemove};

bool ConnectionLost() { return WaylandConnectionFailed(connection.display); }

// Binds wl_shm on a queue of our own, once.
bool Connect(wl_display* display) {
  if (connection.display == display) return connection.shm != nullptr;
  if (connection.display != nullptr) return Fail("a second Wayland connection");
  connection.display = display;
  connection.queue = wl_display_create_queue(display);
  auto* wrapped = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
  if (connection.queue == nullptr || wrapped == nullptr) return Fail("out of memory");
  wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapped), connection.queue);
  connection.registry = wl_display_get_registry(wrapped);
  wl_proxy_wrapper_destroy(wrapped);
  wl_registry_add_listener(connection.registry, &kRegistryListener, nullptr);
  // The globals; XRGB8888, the format filled, is one every wl_shm offers.
  if (wl_display_roundtrip_queue(display, connection.queue) < 0) {
    if (!ConnectionLost()) Fail("cannot reach the compositor");
    connection.shm = nullptr;
    return false;
  }
  if (connection.shm == nullptr) return Fail("the compositor offers no shared memory buffers (wl_shm)");
  return true;
}

// Reads what the compositor has sent, waiting up to timeout for something to
// arrive, and handles what is on our queue.
bool DispatchOurs(int timeoutMs) {
  wl_display* display = connection.display;
  while (wl_display_prepare_read_queue(display, connection.queue) != 0) {
    if (wl_display_dispatch_queue_pending(display, connection.queue) < 0) return !ConnectionLost();
  }
  wl_display_flush(display);
  pollfd fd{wl_display_get_fd(display), POLLIN, 0};
  const int ready = poll(&fd, 1, timeoutMs);
  if (ready <= 0) {
    wl_display_cancel_read(display);
    return ready == 0 || errno == EINTR;
  }
  if (wl_display_read_events(display) < 0 ||
      wl_display_dispatch_queue_pending(display, connection.queue) < 0) {
    return !ConnectionLost();
  }
  return true;
}

void Release(Buffer& buffer) {
  if (buffer.buffer != nullptr) wl_buffer_destroy(buffer.buffer);
  if (buffer.pixels != nullptr) munmap(buffer.pixels, buffer.bytes);
  buffer = Buffer{};
}

bool Make(Buffer& buffer, int width, int height) {
  const std::size_t stride = static_cast<std::size_t>(width) * 4;
  const std::size_t bytes = stride * static_cast<std::size_t>(height);
  if (bytes > static_cast<std::size_t>(INT32_MAX)) return Fail("the window is too large for a buffer");
  const int fd = memfd_create("rastelle-window", MFD_CLOEXEC);
  if (fd < 0) return Fail(std::string("cannot make a buffer: ") + std::strerror(errno));
  // A file size limit (ulimit -f) would end the process with SIGXFSZ here,
  // unless the signal is ignored: then the error is reported.
  void* pixels = ftruncate(fd, static_cast<off_t>(bytes)) == 0
                     ? mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0)
                     : MAP_FAILED;
  if (pixels == MAP_FAILED) {
    const int error = errno;
    close(fd);
    return Fail(std::string("cannot make a buffer: ") + std::strerror(error));
  }
  wl_shm_pool* pool = wl_shm_create_pool(connection.shm, fd, static_cast<std::int32_t>(bytes));
  buffer.buffer = wl_shm_pool_create_buffer(pool, 0, width, height, static_cast<std::int32_t>(stride),
                                            WL_SHM_FORMAT_XRGB8888);
  wl_shm_pool_destroy(pool);  // the buffer keeps what it needs of the pool
  close(fd);                  // and the compositor has its own descriptor
  buffer.pixels = static_cast<std::uint32_t*>(pixels);
  buffer.bytes = bytes;
  buffer.width = width;
  buffer.height = height;
  buffer.busy = false;
  wl_buffer_add_listener(buffer.buffer, &kBufferListener, &buffer);
  return true;
}

// A buffer of the size that the compositor is not reading: one kept from
// before, or one made anew in the place of a free one of another size.
Buffer* FreeBuffer(int width, int height) {
  const auto deadline = std::chrono::steady_clock::now() + kReleaseWait;
  if (!DispatchOurs(0)) return nullptr;
  for (;;) {
    Buffer* free = nullptr;
    for (Buffer& buffer : buffers) {
      if (buffer.busy) continue;
      if (buffer.buffer != nullptr && buffer.width == width && buffer.height == height) return &buffer;
      if (free == nullptr || free->buffer != nullptr) free = &buffer;  // an empty place first
    }
    if (free != nullptr) {
      Release(*free);
      return Make(*free, width, height) ? free : nullptr;
    }
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      Fail("the compositor gives no buffer back");
      return nullptr;
    }
    if (!DispatchOurs(static_cast<int>(left.count()))) return nullptr;
  }
}

// The raster into the buffer; what the raster does not cover (it follows the
// window's size a step behind) is white.
void Fill(Buffer& buffer, HWND window) {
  const int width = window->client != nullptr ? std::min(buffer.width, window->clientWidth) : 0;
  const int height = window->client != nullptr ? std::min(buffer.height, window->clientHeight) : 0;
  for (int y = 0; y < buffer.height; ++y) {
    std::uint32_t* to = buffer.pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(buffer.width);
    int x = 0;
    if (y < height) {
      const std::uint8_t* from = window->client + static_cast<std::size_t>(y) *
                                                      static_cast<std::size_t>(window->clientWidth) *
                                                      kBytesPerPixel;
      RowToWords(from, to, static_cast<std::size_t>(width), true);
      x = width;
    }
    std::fill(to + x, to + buffer.width, kWhite);
  }
}

}  // namespace

bool PresentThroughWaylandBuffer(HWND window, wl_display* display, wl_surface* surface) {
  if (!Connect(display) || ConnectionLost()) return false;
  // XRGB8888, which every compositor takes, is a little-endian word.
  if constexpr (std::endian::native != std::endian::little) return Fail("a big-endian machine");
  if (owner != window) ForgetWaylandWindow(owner);
  owner = window;
  // The size SDL gave the surface in device pixels, which is a multiple of the
  // buffer scale it set.
  int width = 0, height = 0;
  SDL_GetWindowSizeInPixels(window->sdl, &width, &height);
  if (width <= 0 || height <= 0) return true;  // nothing to show
  Buffer* buffer = FreeBuffer(width, height);
  if (buffer == nullptr) return false;
  Fill(*buffer, window);
  wl_surface_attach(surface, buffer->buffer, 0, 0);
  if (wl_proxy_get_version(reinterpret_cast<wl_proxy*>(surface)) >= WL_SURFACE_DAMAGE_BUFFER_SINCE_VERSION) {
    wl_surface_damage_buffer(surface, 0, 0, width, height);
  } else {
    wl_surface_damage(surface, 0, 0, INT32_MAX, INT32_MAX);
  }
  wl_surface_commit(surface);
  buffer->busy = true;
  if (wl_display_flush(display) < 0 && errno != EAGAIN)
    return !ConnectionLost() && Fail("cannot reach the compositor");
  return true;
}

const std::string& WaylandFailure() { return failure; }

bool WaylandConnectionFailed(wl_display* display) {
  const int error = wl_display_get_error(display);
  if (error == 0) return false;
  Fail(std::string("the connection to the compositor failed: ") + std::strerror(error));
  return true;
}

void ForgetWaylandWindow(HWND window) {
  if (window == nullptr || owner != window) return;
  for (Buffer& buffer : buffers) Release(buffer);
  owner = nullptr;
}
