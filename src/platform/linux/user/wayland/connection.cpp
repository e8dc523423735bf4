// The connection to the compositor: the globals it offers (outputs and their
// scales, the seat's pointer among them), and waiting for and handling its
// events.
#include <poll.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "../window_events.h"
#include "wayland_system.h"
#include "xdg-decoration-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace wayland {
namespace {

System& Of(void* data) { return *static_cast<System*>(data); }

void OnGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
              std::uint32_t version) {
  Of(data).OnGlobal(registry, name, interface, version);
}
void OnGlobalRemove(void* data, wl_registry*, std::uint32_t name) { Of(data).OnGlobalRemoved(name); }
const wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemove};

void OnPing(void*, xdg_wm_base* shell, std::uint32_t serial) { xdg_wm_base_pong(shell, serial); }
const xdg_wm_base_listener kShellListener = {OnPing};

Output& OutputOf(void* data) { return *static_cast<Output*>(data); }
void OnGeometry(void*, wl_output*, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                const char*, const char*, std::int32_t) {}
void OnMode(void*, wl_output*, std::uint32_t, std::int32_t, std::int32_t, std::int32_t) {}
void OnDone(void* data, wl_output*) { OutputOf(data).system->OnOutputDone(OutputOf(data)); }
void OnScale(void* data, wl_output*, std::int32_t scale) { OutputOf(data).pendingScale = std::max(1, scale); }
const wl_output_listener kOutputListener = {OnGeometry, OnMode, OnDone, OnScale, nullptr, nullptr};

void OnCapabilities(void* data, wl_seat*, std::uint32_t capabilities) {
  Of(data).OnSeatCapabilities(capabilities);
}
void OnSeatName(void*, wl_seat*, const char*) {}
const wl_seat_listener kSeatListener = {OnCapabilities, OnSeatName};

void OnPointerEnter(void* data, wl_pointer*, std::uint32_t serial, wl_surface* surface, wl_fixed_t,
                    wl_fixed_t) {
  Of(data).OnPointerEnter(serial, surface);
}
void OnPointerLeave(void* data, wl_pointer*, std::uint32_t, wl_surface* surface) {
  Of(data).OnPointerLeave(surface);
}
void OnMotion(void*, wl_pointer*, std::uint32_t, wl_fixed_t, wl_fixed_t) {}
void OnButton(void*, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {}
void OnAxis(void*, wl_pointer*, std::uint32_t, std::uint32_t, wl_fixed_t) {}
// The events of wl_pointer version 3; those of later versions never come.
const wl_pointer_listener kPointerListener = {OnPointerEnter, OnPointerLeave, OnMotion, OnButton, OnAxis,
                                              nullptr,        nullptr,        nullptr,  nullptr,  nullptr};

template <typename Proxy>
Proxy* Bind(wl_registry* registry, std::uint32_t name, const wl_interface& interface, std::uint32_t offered,
            std::uint32_t wanted) {
  return static_cast<Proxy*>(wl_registry_bind(registry, name, &interface, std::min(offered, wanted)));
}

bool Is(const char* interface, const wl_interface& known) { return std::strcmp(interface, known.name) == 0; }

}  // namespace

bool System::Start(wl_display* connected) {
  display = connected;
  bufferQueue = wl_display_create_queue(display);
  registry = wl_display_get_registry(display);
  if (bufferQueue == nullptr || registry == nullptr) return false;
  wl_registry_add_listener(registry, &kRegistryListener, this);
  if (wl_display_roundtrip(display) < 0) return false;
  if (shm != nullptr) {
    bufferShm = static_cast<wl_shm*>(wl_proxy_create_wrapper(shm));
    if (bufferShm == nullptr) return false;
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(bufferShm), bufferQueue);
  }
  // The outputs' scales, which size the first window, and the seat's
  // capabilities come as events of the objects just bound.
  if (!outputs.empty() || seat != nullptr) return wl_display_roundtrip(display) >= 0;
  return true;
}

void System::OnGlobal(wl_registry* from, std::uint32_t name, const char* interface, std::uint32_t version) {
  if (Is(interface, wl_compositor_interface) && compositor == nullptr) {
    // Version 4 for damage in buffer pixels.
    compositor = Bind<wl_compositor>(from, name, wl_compositor_interface, version, 4);
  } else if (Is(interface, wl_shm_interface) && shm == nullptr) {
    shm = Bind<wl_shm>(from, name, wl_shm_interface, version, 1);
  } else if (Is(interface, xdg_wm_base_interface) && shell == nullptr) {
    shell = Bind<xdg_wm_base>(from, name, xdg_wm_base_interface, version, 2);
    xdg_wm_base_add_listener(shell, &kShellListener, this);
  } else if (Is(interface, zxdg_decoration_manager_v1_interface) && decorations == nullptr) {
    decorations =
        Bind<zxdg_decoration_manager_v1>(from, name, zxdg_decoration_manager_v1_interface, version, 1);
  } else if (Is(interface, wl_seat_interface) && seat == nullptr) {
    // The first seat's pointer, for the cursor, and its data device, for drops.
    // Version 3: wl_pointer.release.
    seat = Bind<wl_seat>(from, name, wl_seat_interface, version, 3);
    seatName = name;
    wl_seat_add_listener(seat, &kSeatListener, this);
    StartDrops();
  } else if (Is(interface, wl_data_device_manager_interface) && dataDevices == nullptr) {
    // Version 3: the drag's actions and wl_data_offer.finish.
    dataDevices = Bind<wl_data_device_manager>(from, name, wl_data_device_manager_interface, version, 3);
    StartDrops();
  } else if (Is(interface, wl_output_interface)) {
    // Version 2 tells the output's scale.
    auto output = std::make_unique<Output>();
    output->system = this;
    output->name = name;
    output->proxy = Bind<wl_output>(from, name, wl_output_interface, version, 2);
    wl_output_add_listener(output->proxy, &kOutputListener, output.get());
    outputs.push_back(std::move(output));
  }
}

void System::OnGlobalRemoved(std::uint32_t name) {
  if (name == seatName && seat != nullptr) {
    StopDrops();
    if (pointer != nullptr) wl_pointer_release(pointer);
    pointer = nullptr;
    pointerSurface = nullptr;
    wl_seat_destroy(seat);
    seat = nullptr;
    return;
  }
  const auto gone =
      std::find_if(outputs.begin(), outputs.end(),
                   [name](const std::unique_ptr<Output>& output) { return output->name == name; });
  if (gone == outputs.end()) return;
  wl_output* proxy = (*gone)->proxy;
  outputs.erase(gone);
  ForgetOutput(proxy);
  wl_output_destroy(proxy);
}

void System::OnOutputDone(Output& output) {
  if (output.scale == output.pendingScale) return;
  output.scale = output.pendingScale;
  for (const std::unique_ptr<Window>& window : windows) Rescale(*window);
}

void System::OnSeatCapabilities(std::uint32_t capabilities) {
  const bool hasPointer = (capabilities & WL_SEAT_CAPABILITY_POINTER) != 0;
  if (hasPointer && pointer == nullptr) {
    pointer = wl_seat_get_pointer(seat);
    wl_pointer_add_listener(pointer, &kPointerListener, this);
  } else if (!hasPointer && pointer != nullptr) {
    wl_pointer_release(pointer);
    pointer = nullptr;
    pointerSurface = nullptr;
  }
}

bool System::Lost() {
  const int callError = errno;  // of the call that failed, where the display has none
  if (!failed) {
    failed = true;
    int error = wl_display_get_error(display);
    if (error == 0) error = callError != 0 ? callError : EPIPE;
    CannotShowWindow(std::string("the connection to the compositor failed: ") + std::strerror(error));
  }
  return false;
}

bool System::Flush() {
  // A full socket keeps the rest queued for the next flush.
  if (wl_display_flush(display) < 0 && errno != EAGAIN) return Lost();
  return true;
}

bool System::Exchange(wl_event_queue* queue, int timeoutMs) {
  if (failed) return false;
  const auto prepare = [&] {
    return queue != nullptr ? wl_display_prepare_read_queue(display, queue)
                            : wl_display_prepare_read(display);
  };
  const auto dispatch = [&] {
    return queue != nullptr ? wl_display_dispatch_queue_pending(display, queue)
                            : wl_display_dispatch_pending(display);
  };
  // What was read before is handled first; then nothing more is waited for.
  int handled = 0;
  while (prepare() != 0) {
    const int count = dispatch();
    if (count < 0) return Lost();
    handled += count;
  }
  if (!Flush()) {
    wl_display_cancel_read(display);
    return false;
  }
  const std::int64_t deadline = NowMs() + timeoutMs;
  int wait = handled > 0 ? 0 : timeoutMs;
  pollfd connection{wl_display_get_fd(display), POLLIN, 0};
  while (poll(&connection, 1, wait) < 0) {
    if (errno != EINTR) {
      wl_display_cancel_read(display);
      return Lost();
    }
    if (wait > 0) wait = static_cast<int>(std::max<std::int64_t>(0, deadline - NowMs()));
  }
  if (connection.revents != 0) {
    if (wl_display_read_events(display) < 0) return Lost();
  } else {
    wl_display_cancel_read(display);
  }
  if (dispatch() < 0) return Lost();
  return true;
}

bool System::Dispatch(int timeoutMs) { return Exchange(nullptr, timeoutMs); }

std::int64_t System::NowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

System::~System() {
  while (!windows.empty()) DestroyWindow(windows.back()->handle);
  StopFrames();
  DestroyCursor();
  StopDrops();
  if (pointer != nullptr) wl_pointer_release(pointer);
  if (seat != nullptr) wl_seat_destroy(seat);
  for (const std::unique_ptr<Output>& output : outputs) wl_output_destroy(output->proxy);
  if (dataDevices != nullptr) wl_data_device_manager_destroy(dataDevices);
  if (decorations != nullptr) zxdg_decoration_manager_v1_destroy(decorations);
  if (shell != nullptr) xdg_wm_base_destroy(shell);
  if (bufferShm != nullptr) wl_proxy_wrapper_destroy(bufferShm);
  if (shm != nullptr) wl_shm_destroy(shm);
  if (compositor != nullptr) wl_compositor_destroy(compositor);
  if (registry != nullptr) wl_registry_destroy(registry);
  if (bufferQueue != nullptr) wl_event_queue_destroy(bufferQueue);
  wl_display_disconnect(display);
}

}  // namespace wayland

WindowSystem* ConnectWayland(std::string& why) {
  const char* name = std::getenv("WAYLAND_DISPLAY");
  if (name == nullptr || name[0] == '\0') {
    why = "WAYLAND_DISPLAY is not set";
    return nullptr;
  }
  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) {
    why = std::string("WAYLAND_DISPLAY=") + name + " does not answer";
    return nullptr;
  }
  auto* system = new wayland::System;
  if (!system->Start(display)) {
    delete system;
    why = std::string("WAYLAND_DISPLAY=") + name + " does not answer";
    return nullptr;
  }
  return system;
}
