// Files dropped onto a window over XDND (version 5), taken as a URI list: the
// drag's messages answered, then the dropped list fetched from its source.
#include <X11/Xatom.h>

#include <string>

#include "../window_events.h"
#include "x11_system.h"

namespace {

// XdndEnter: bit 0 of its second item says that the source offers more types
// than the message holds, in its XdndTypeList.
constexpr long kMoreTypes = 1;
// XdndStatus and XdndFinished: bit 0 of the second item accepts; bit 1 of
// XdndStatus's asks for positions wherever the pointer is.
constexpr long kAccept = 1;
constexpr long kAllPositions = 2;
// How much of a property one request reads, in 32-bit units.
constexpr long kReadUnits = 1 << 16;

// The whole of a property of 8-bit items, read piece by piece as the source
// wrote it; empty for anything else (a transfer in increments among them).
std::string ReadText(Display* display, ::Window id, Atom property) {
  std::string text;
  for (long offset = 0;;) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, id, property, offset, kReadUnits, False, AnyPropertyType, &type, &format,
                           &count, &after, &data) != Success)
      return {};
    const bool bytes = format == 8;
    if (bytes) text.append(reinterpret_cast<const char*>(data), count);
    XFree(data);
    if (!bytes) return {};
    if (after == 0) return text;
    offset += static_cast<long>(count / 4);
  }
}

}  // namespace

void X11System::SendToSource(::Window source, Atom type, long l0, long l1, long l2, long l3, long l4) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = source;
  event.xclient.message_type = type;
  event.xclient.format = 32;
  event.xclient.data.l[0] = l0;
  event.xclient.data.l[1] = l1;
  event.xclient.data.l[2] = l2;
  event.xclient.data.l[3] = l3;
  event.xclient.data.l[4] = l4;
  // A source that has gone makes this fail, which the error handler passes
  // over.
  XSendEvent(display_, source, False, NoEventMask, &event);
}

bool X11System::OffersUriList(const XClientMessageEvent& enter) {
  const Atom wanted = atoms_[kTextUriList];
  if ((enter.data.l[1] & kMoreTypes) == 0) {
    for (int i = 2; i < 5; ++i) {
      if (static_cast<Atom>(enter.data.l[i]) == wanted) return true;
    }
    return false;
  }
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  const auto source = static_cast<::Window>(enter.data.l[0]);
  if (XGetWindowProperty(display_, source, atoms_[kXdndTypeList], 0, kReadUnits, False, XA_ATOM, &type,
                         &format, &count, &after, &data) != Success)
    return false;
  bool offered = false;
  if (type == XA_ATOM && format == 32) {
    const auto* types = reinterpret_cast<const Atom*>(data);
    for (unsigned long i = 0; i < count; ++i) offered = offered || types[i] == wanted;
  }
  XFree(data);
  return offered;
}

void X11System::HandleDragMessage(X11Window& window, const XClientMessageEvent& message) {
  if (message.format != 32) return;
  const auto source = static_cast<::Window>(message.data.l[0]);
  const Atom type = message.message_type;
  const bool taken = window.acceptsFiles && source == window.dragSource && window.dragOffersUris;
  const long id = static_cast<long>(window.id);
  const long copy = static_cast<long>(atoms_[kXdndActionCopy]);
  if (type == atoms_[kXdndEnter]) {
    window.dragSource = source;
    window.dragOffersUris = OffersUriList(message);
  } else if (type == atoms_[kXdndPosition]) {
    // Whatever action the source proposes, the list is copied.
    SendToSource(source, atoms_[kXdndStatus], id, taken ? kAccept | kAllPositions : kAllPositions, 0, 0,
                 taken ? copy : 0);
  } else if (type == atoms_[kXdndLeave]) {
    if (source == window.dragSource) window.dragSource = 0;
  } else if (type == atoms_[kXdndDrop]) {
    window.dragSource = 0;
    if (!taken) {
      SendToSource(source, atoms_[kXdndFinished], id, 0, 0, 0, 0);
      return;
    }
    // The list comes as a property of the window; a source that has gone by
    // then leaves it unset. A later drop takes the place of one whose source
    // never answers.
    window.dropSource = source;
    XConvertSelection(display_, atoms_[kXdndSelection], atoms_[kTextUriList], atoms_[kXdndSelection],
                      window.id, static_cast<Time>(message.data.l[2]));
  }
}

void X11System::HandleDropData(X11Window& window, const XSelectionEvent& event) {
  if (event.selection != atoms_[kXdndSelection] || window.dropSource == 0) return;
  const ::Window source = window.dropSource;
  window.dropSource = 0;
  std::string list;
  if (event.property != 0) {
    list = ReadText(display_, window.id, event.property);
    XDeleteProperty(display_, window.id, event.property);
  }
  if (!list.empty()) UrisDropped(window.handle, list);
  const bool accepted = !list.empty();
  SendToSource(source, atoms_[kXdndFinished], static_cast<long>(window.id), accepted ? kAccept : 0,
               accepted ? static_cast<long>(atoms_[kXdndActionCopy]) : 0, 0, 0);
}
