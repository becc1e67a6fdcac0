// SPDX-License-Identifier: GPL-3.0-or-later
#include "FirstPixels.h"
#include "Child.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace {

using Clock = std::chrono::steady_clock;

struct Connection {
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    ~Connection() { xcb_disconnect(c); }
};

// Rows of an area as the X server holds them, four bytes a pixel.
std::string Pixels(xcb_connection_t *c, xcb_drawable_t from, int x, int y, int width, int height)
{
    const xcb_get_image_cookie_t cookie = xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, from, int16_t(x), int16_t(y),
                                                        uint16_t(width), uint16_t(height), ~0u);
    std::unique_ptr<xcb_get_image_reply_t, decltype(&std::free)> reply(xcb_get_image_reply(c, cookie, nullptr),
                                                                       &std::free);
    if (!reply)
        return {};
    return std::string(reinterpret_cast<const char *>(xcb_get_image_data(reply.get())),
                       size_t(xcb_get_image_data_length(reply.get())));
}

// Three rows across an area: the top, where a title bar is drawn, a quarter
// down and the middle. Enough to see a first paint, and cheap enough to ask
// for every half millisecond.
std::string Sample(xcb_connection_t *c, xcb_window_t root, int x, int y, int width, int height)
{
    return Pixels(c, root, x, y + 2, width, 1) + Pixels(c, root, x, y + height / 4, width, 1) +
           Pixels(c, root, x, y + height / 2, width, 1);
}

// The same rows cut from a grab of the whole screen, four bytes a pixel.
std::string SampleOf(const std::string &screen, int screenWidth, int x, int y, int width, int height)
{
    std::string rows;
    for (int row : {y + 2, y + height / 4, y + height / 2})
        rows += screen.substr((size_t(row) * size_t(screenWidth) + size_t(x)) * 4, size_t(width) * 4);
    return rows;
}

} // namespace

double MsToFirstPixels(const std::vector<std::string> &args, const std::vector<std::string> &environment)
{
    Connection x;
    if (xcb_connection_has_error(x.c))
        return -1;
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(x.c)).data;
    const xcb_window_t root = screen->root;
    // What a window shows when mapped but not yet drawn: the screen behind it
    // (Qt's windows have no background of their own).
    const std::string before = Pixels(x.c, root, 0, 0, screen->width_in_pixels, screen->height_in_pixels);
    const uint32_t events = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x.c, root, XCB_CW_EVENT_MASK, &events);
    xcb_flush(x.c);

    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        for (const std::string &e : environment)
            ::putenv(const_cast<char *>(e.c_str()));
        ExecArgs(args);
    }
    double ms = -1;
    const auto deadline = start + std::chrono::seconds(10);
    xcb_window_t window = XCB_NONE;
    int left = 0, top = 0, width = 0, height = 0;
    std::string behind;
    while (ms < 0 && Clock::now() < deadline) {
        while (xcb_generic_event_t *event = xcb_poll_for_event(x.c)) {
            const auto *map = reinterpret_cast<xcb_map_notify_event_t *>(event);
            if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY && window == XCB_NONE && !map->override_redirect) {
                std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> geometry(
                    xcb_get_geometry_reply(x.c, xcb_get_geometry(x.c, map->window), nullptr), &std::free);
                // A program's own window, not a one-pixel helper.
                if (geometry && geometry->width > 50 && geometry->height > 50) {
                    window = map->window;
                    // Only what lies on the screen can be seen.
                    left = std::max(0, int(geometry->x)), top = std::max(0, int(geometry->y));
                    width = std::min(int(geometry->width), screen->width_in_pixels - left);
                    height = std::min(int(geometry->height), screen->height_in_pixels - top);
                    behind = SampleOf(before, screen->width_in_pixels, left, top, width, height);
                }
            }
            std::free(event);
        }
        if (window != XCB_NONE) {
            const std::string now = Sample(x.c, root, left, top, width, height);
            if (!now.empty() && now != behind)
                ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        }
        if (ms < 0) {
            pollfd fd{xcb_get_file_descriptor(x.c), POLLIN, 0};
            ::poll(&fd, 1, window == XCB_NONE ? 5 : 0);
            if (window != XCB_NONE)
                ::usleep(500);
        }
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return ms;
}
