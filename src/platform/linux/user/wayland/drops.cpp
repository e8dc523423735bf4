// Files dropped onto a window: the seat's data device, the offers of drags over
// our windows, and the URI list a drop receives.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "../window_events.h"
#include "wayland_system.h"

namespace wayland {
namespace {

constexpr const char* kUriList = "text/uri-list";

// How long a drop waits for the source to send its list. A source that sends
// nothing this long has failed; the window does not wait for it any more.
constexpr std::int64_t kReceiveWaitMs = 5000;

Offer& OfferOf(void* data) { return *static_cast<Offer*>(data); }
Offer* Record(wl_data_offer* offer) {
  return offer != nullptr ? static_cast<Offer*>(wl_data_offer_get_user_data(offer)) : nullptr;
}

void OnMimeType(void* data, wl_data_offer*, const char* type) {
  if (std::strcmp(type, kUriList) == 0) OfferOf(data).uriList = true;
}
void OnSourceActions(void*, wl_data_offer*, std::uint32_t) {}
void OnAction(void* data, wl_data_offer*, std::uint32_t action) { OfferOf(data).action = action; }
const wl_data_offer_listener kOfferListener = {OnMimeType, OnSourceActions, OnAction};

System& Of(void* data) { return *static_cast<System*>(data); }
void OnDataOffer(void* data, wl_data_device*, wl_data_offer* offer) { Of(data).OnDataOffer(offer); }
void OnEnter(void* data, wl_data_device*, std::uint32_t serial, wl_surface* surface, wl_fixed_t, wl_fixed_t,
             wl_data_offer* offer) {
  Of(data).OnDragEnter(serial, surface, offer);
}
void OnLeave(void* data, wl_data_device*) { Of(data).OnDragLeave(); }
void OnMotion(void*, wl_data_device*, std::uint32_t, wl_fixed_t, wl_fixed_t) {}
void OnDrop(void* data, wl_data_device*) { Of(data).OnDrop(); }
void OnSelection(void* data, wl_data_device*, wl_data_offer* offer) { Of(data).OnSelection(offer); }
const wl_data_device_listener kDeviceListener = {OnDataOffer, OnEnter, OnLeave,
                                                 OnMotion,    OnDrop,  OnSelection};

bool Version3(wl_data_offer* offer) {
  return wl_proxy_get_version(reinterpret_cast<wl_proxy*>(offer)) >= WL_DATA_OFFER_FINISH_SINCE_VERSION;
}

}  // namespace

void System::StartDrops() {
  if (dataDevice != nullptr || seat == nullptr || dataDevices == nullptr) return;
  dataDevice = wl_data_device_manager_get_data_device(dataDevices, seat);
  wl_data_device_add_listener(dataDevice, &kDeviceListener, this);
}

void System::OnDataOffer(wl_data_offer* proxy) {
  // An offer is entered with or made the selection right after it is
  // introduced, so one still waiting when the next comes is used by nothing.
  DestroyOffer(newOffer);
  newOffer = new Offer;
  newOffer->proxy = proxy;
  wl_data_offer_add_listener(proxy, &kOfferListener, newOffer);
}

void System::OnDragEnter(std::uint32_t serial, wl_surface* surface, wl_data_offer* proxy) {
  Offer* offer = Record(proxy);
  if (offer == newOffer) newOffer = nullptr;
  if (dragOffer != offer) DestroyOffer(dragOffer);
  dragOffer = offer;
  Window* window = FindSurface(surface);
  dragWindow = window != nullptr && window->acceptsFiles ? window : nullptr;
  if (offer == nullptr) return;
  offer->accepted = dragWindow != nullptr && offer->uriList;
  wl_data_offer_accept(proxy, serial, offer->accepted ? kUriList : nullptr);
  if (offer->accepted && Version3(proxy)) {
    wl_data_offer_set_actions(proxy, WL_DATA_DEVICE_MANAGER_DND_ACTION_COPY,
                              WL_DATA_DEVICE_MANAGER_DND_ACTION_COPY);
  }
}

void System::OnDragLeave() {
  DestroyOffer(dragOffer);
  dragWindow = nullptr;
}

void System::OnDrop() {
  Offer* offer = dragOffer;
  Window* window = dragWindow;
  dragOffer = nullptr;
  dragWindow = nullptr;
  if (offer == nullptr) return;
  if (window == nullptr || !offer->accepted) {
    DestroyOffer(offer);
    return;
  }
  const HWND handle = window->handle;
  std::string received;
  bool complete = false;
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) == 0) {
    wl_data_offer_receive(offer->proxy, kUriList, ends[1]);
    const bool sent = Flush();
    // The source's copy of the write end is the one left: the list ends when
    // the source closes it.
    close(ends[1]);
    const std::int64_t deadline = NowMs() + kReceiveWaitMs;
    while (sent) {
      const std::int64_t left = deadline - NowMs();
      pollfd from{ends[0], POLLIN, 0};
      const int ready = left > 0 ? poll(&from, 1, static_cast<int>(left)) : 0;
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) break;
      char chunk[4096];
      const ssize_t count = read(ends[0], chunk, sizeof chunk);
      if (count < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      if (count <= 0) {
        complete = count == 0;
        break;
      }
      received.append(chunk, static_cast<std::size_t>(count));
    }
    close(ends[0]);
  }
  // The source learns that the drop is done, and ends the drag.
  if (Version3(offer->proxy) && offer->action != 0) wl_data_offer_finish(offer->proxy);
  DestroyOffer(offer);
  Flush();
  if (complete) UrisDropped(handle, received);
}

void System::OnSelection(wl_data_offer* proxy) {
  // The clipboard is nothing to the viewer.
  Offer* offer = Record(proxy);
  if (offer == newOffer) newOffer = nullptr;
  DestroyOffer(offer);
}

void System::DestroyOffer(Offer*& offer) {
  if (offer == nullptr) return;
  wl_data_offer_destroy(offer->proxy);
  delete offer;
  offer = nullptr;
}

void System::StopDrops() {
  DestroyOffer(newOffer);
  DestroyOffer(dragOffer);
  dragWindow = nullptr;
  if (dataDevice == nullptr) return;
  if (wl_proxy_get_version(reinterpret_cast<wl_proxy*>(dataDevice)) >= WL_DATA_DEVICE_RELEASE_SINCE_VERSION) {
    wl_data_device_release(dataDevice);
  } else {
    wl_data_device_destroy(dataDevice);
  }
  dataDevice = nullptr;
}

}  // namespace wayland
