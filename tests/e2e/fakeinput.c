// SPDX-License-Identifier: GPL-3.0-or-later
// Clicks at X Y of a KWin Wayland session, through KWin's fake-input protocol, as a pointer
// would: the compositor sees the click, not only the window under it.
#include "fake-input-client-protocol.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wayland-client.h>

static struct org_kde_kwin_fake_input *input;

static void global(void *data, struct wl_registry *registry, uint32_t name, const char *interface,
                   uint32_t version)
{
    (void)data;
    if (strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 3)
        input = wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 3);
}

static void global_remove(void *data, struct wl_registry *registry, uint32_t name)
{
    (void)data;
    (void)registry;
    (void)name;
}

static const struct wl_registry_listener listener = {global, global_remove};

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: %s X Y\n", argv[0]);
        return 2;
    }
    struct wl_display *display = wl_display_connect(NULL);
    if (!display) {
        fprintf(stderr, "fakeinput: no Wayland display\n");
        return 1;
    }
    struct wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &listener, NULL);
    wl_display_roundtrip(display);
    if (!input) {
        fprintf(stderr, "fakeinput: the compositor offers no fake input\n");
        return 1;
    }
    const unsigned left = 0x110; // BTN_LEFT
    org_kde_kwin_fake_input_authenticate(input, "puzzle e2e", "clicks for the end-to-end checks");
    org_kde_kwin_fake_input_pointer_motion_absolute(input, wl_fixed_from_int(atoi(argv[1])),
                                                    wl_fixed_from_int(atoi(argv[2])));
    org_kde_kwin_fake_input_button(input, left, 1);
    org_kde_kwin_fake_input_button(input, left, 0);
    // The requests are read before the answer to this round trip comes back.
    if (wl_display_roundtrip(display) < 0) {
        fprintf(stderr, "fakeinput: the compositor refused\n");
        return 1;
    }
    wl_display_disconnect(display);
    return 0;
}
