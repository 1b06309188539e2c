// Saves a PNG picture of what the X display named by DISPLAY shows: the
// first top-level window of a class once it is shown and drawn (waiting up
// to 20 s), or the whole screen.
// Usage: orvo_x_screenshot OUT.png [WINDOW_CLASS]
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string_view>
#include <thread>

namespace {

struct Area {
  int x, y, width, height;
};

std::optional<Area> shown_window_of_class(Display* display, std::string_view window_class) {
  Window root = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) == 0) {
    return std::nullopt;
  }
  std::optional<Area> found;
  for (unsigned int i = count; i-- > 0 && !found;) {
    XClassHint hint{};
    if (XGetClassHint(display, children[i], &hint) == 0) continue;
    const bool same = hint.res_class != nullptr && window_class == hint.res_class;
    if (hint.res_name != nullptr) XFree(hint.res_name);
    if (hint.res_class != nullptr) XFree(hint.res_class);
    XWindowAttributes attributes{};
    if (same && XGetWindowAttributes(display, children[i], &attributes) != 0 &&
        attributes.map_state == IsViewable) {
      found = Area{attributes.x, attributes.y, attributes.width, attributes.height};
    }
  }
  if (children != nullptr) XFree(children);
  return found;
}

// Whether the picture holds more than one colour: a window just shown holds
// only its background until its program has drawn it.
bool drawn(GdkPixbuf* picture) {
  const int channels = gdk_pixbuf_get_n_channels(picture);
  const int stride = gdk_pixbuf_get_rowstride(picture);
  const int width = gdk_pixbuf_get_width(picture);
  const int height = gdk_pixbuf_get_height(picture);
  const guchar* pixels = gdk_pixbuf_read_pixels(picture);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const guchar* pixel = pixels + y * stride + x * channels;
      if (pixel[0] != pixels[0] || pixel[1] != pixels[1] || pixel[2] != pixels[2]) return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUT.png [WINDOW_CLASS]\n", argv[0]);
    return 2;
  }
  if (gtk_init_check(nullptr, nullptr) == FALSE) {
    std::fprintf(stderr, "no display\n");
    return 3;
  }
  GdkWindow* screen = gdk_get_default_root_window();
  Area area{0, 0, gdk_window_get_width(screen), gdk_window_get_height(screen)};
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  if (argc > 2) {
    Display* display = GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
    std::optional<Area> window;
    while (!(window = shown_window_of_class(display, argv[2])) &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!window) {
      std::fprintf(stderr, "no window of class %s\n", argv[2]);
      return 4;
    }
    area = *window;
  }
  GdkPixbuf* picture = gdk_pixbuf_get_from_window(screen, area.x, area.y, area.width, area.height);
  // A window's picture waits for its drawing; one left undrawn is still saved.
  while (argc > 2 && picture != nullptr && !drawn(picture) &&
         std::chrono::steady_clock::now() < deadline) {
    g_object_unref(picture);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    picture = gdk_pixbuf_get_from_window(screen, area.x, area.y, area.width, area.height);
  }
  if (picture == nullptr || gdk_pixbuf_save(picture, argv[1], "png", nullptr, nullptr) == FALSE) {
    std::fprintf(stderr, "cannot save %s\n", argv[1]);
    return 5;
  }
  g_object_unref(picture);
  return 0;
}
