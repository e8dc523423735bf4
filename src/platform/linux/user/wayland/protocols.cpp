// The client code of xdg-shell and xdg-decoration, which wayland-scanner
// writes at build time as C, compiled here as C++. The client headers come
// first: there each interface is declared extern "C", which its definition
// in the code then keeps.
// clang-format off
#include "xdg-decoration-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"
#include "xdg-decoration-unstable-v1-protocol.c"
#include "xdg-shell-protocol.c"
// clang-format on
